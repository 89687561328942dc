// The fixed sizes every layer shares: the text buffers, the parts of a set and its discs.
#pragma once

constexpr int kTextSize = 256;  // every value, path and URL buffer of the installer
constexpr int kPartCount = 7;   // Setup, Systems, Drawings, Blocks, Projects, Datas, Help
constexpr int kDiscCount = 15;  // Disc_01 .. Disc_15
