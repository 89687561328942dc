// What the download learns from the server's Install.ini: per disc and part, presence and byte size.
#pragma once
#include <cstdint>

#include "install/description.h"

struct DiscSizeRecord {
  int32_t present[kPartCount];
  int32_t size[kPartCount];  // bytes of the part on this disc
};

struct RemoteDescription {
  DiscSizeRecord discs[kDiscCount];
  int32_t overallTotal;  // denominator of the progress display: every selected byte counted twice
  int32_t bytesDone;     // bytes counted so far
};
