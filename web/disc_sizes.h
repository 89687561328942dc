// The sizes of the selected parts on every disc, read from the remote Install.ini held in memory: what the
// download fetches per disc and what the progress display counts to.
#pragma once
#include <cstdint>

#include "state/install_state.h"

// For every disc whose section ("Disc01" .. "Disc15") the text holds, and every part selected[part]
// (non-zero) whose value there is present (not starting with '*'): present = 1 and size = the value
// (the description's number rules). A part not selected, a value absent or a disc without its section
// leaves the record as it was. overallTotal: the sum of every size read, counted twice (the download and
// the copy each count every byte once), saturated to the 32-bit range.
void ReadDiscSizes(const char* text, int textSize, const int32_t selected[kPartCount], RemoteDescription* remote);
