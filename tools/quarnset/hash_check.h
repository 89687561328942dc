// The hash data and the signature of a published set: Sign.ini against Install.ini and the file lists,
// every list's [Hashes] against the files as they were fetched, and (with a public key) the signature.
#pragma once

#include <string>

#include "fetcher.h"
#include "findings.h"
#include "set_model.h"

namespace quarnset {

// set: read by ReadPublishedSet (descriptions as served, files hashed as they arrived). With a public
// key file, a missing, malformed or wrong signature is an error; without one the signature is not looked at.
// With a key the signed identity is checked too: folder, CadSystem and Version against Install.ini, an
// expired set (an error whose text begins with kExpiredFinding) and one that expires within 30 days (a
// warning).
extern const char kExpiredFinding[];
void CheckSetHashes(Fetcher& fetcher, const SetModel& set, const std::string& publicKeyFile, Findings* findings);

}  // namespace quarnset
