// Reads a published set (a folder or a live server) the way the installer downloads it, reporting every
// request the installer would not accept and every line of the description files it would misread, and
// fills a SetModel for the set rules.
#pragma once

#include <functional>
#include <string>

#include "fetcher.h"
#include "findings.h"
#include "set_model.h"

namespace quarnset {

using Progress = std::function<void(const std::string&)>;

// Returns false when the set cannot be judged further (no Install.ini); findings say why.
bool ReadPublishedSet(Fetcher& fetcher, SetModel* set, Findings* findings, const Progress& progress);

// Reads the set and applies the set rules and the hash checks (hash_check.h; publicKeyFile may be empty):
// the whole check of one server directory.
void CheckPublishedSet(Fetcher& fetcher, const Limits& limits, Findings* findings, const Progress& progress,
                       std::string* descriptionText = nullptr, const std::string& publicKeyFile = "");

}  // namespace quarnset
