// `quarnset check --mirrors`: the mirror list in the signed part of the origin's Sign.ini, and every file
// the installer may take from a mirror (Install.ini and every file a list's [Hashes] names) fetched from
// each listed mirror and compared with the origin's hash data. Per mirror: what is missing, what differs
// and whether it could be reached at all.
#pragma once

#include <functional>
#include <string>

#include "fetcher.h"
#include "findings.h"

namespace quarnset {

// origin: where the set's Sign.ini and lists are read (the folder or host being checked).
void CheckMirrors(Fetcher& origin, const HttpOptions& http, Findings* findings, const std::function<void(const std::string&)>& progress);

}  // namespace quarnset
