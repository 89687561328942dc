// The fixed sizes every layer shares: the text buffers, the parts of a set and its discs, a SHA-256.
#pragma once

constexpr int kTextSize = 256;  // every value, path and URL buffer of the installer
constexpr int kPartCount = 7;   // Setup, Systems, Drawings, Blocks, Projects, Datas, Help
constexpr int kDiscCount = 15;  // Disc_01 .. Disc_15
constexpr int kSha256Size = 32;  // bytes of a SHA-256 digest
