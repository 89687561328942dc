#include "cp1250.h"

#include <cstdint>
#include <cstdio>

namespace quarnset {
namespace {

// Unicode code points of the bytes 0x80..0xFF; 0 marks the five bytes the code page leaves undefined.
const uint16_t kHigh[128] = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is malformed.
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t* cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = b(i);
  size_t len;
  uint32_t v;
  if (c < 0x80) {
    *cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2;
    v = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3;
    v = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4;
    v = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(i + k) & 0x3F);
  }
  // Overlong forms would let two spellings of one character through.
  if ((len == 2 && v < 0x80) || (len == 3 && v < 0x800) || (len == 4 && v < 0x10000)) return 0;
  *cp = v;
  return len;
}

}  // namespace

bool Utf8ToCp1250(const std::string& utf8, std::string* out, size_t* badOffset) {
  out->clear();
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    const size_t len = DecodeUtf8(utf8, i, &cp);
    if (len == 0) {
      if (badOffset) *badOffset = i;
      return false;
    }
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else {
      int found = -1;
      for (int k = 0; k < 128; ++k) {
        if (kHigh[k] != 0 && kHigh[k] == cp) {
          found = k;
          break;
        }
      }
      if (found < 0) {
        if (badOffset) *badOffset = i;
        return false;
      }
      out->push_back(static_cast<char>(0x80 + found));
    }
    i += len;
  }
  return true;
}

std::string Cp1250ToUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (kHigh[c - 0x80] != 0) {
      AppendUtf8(kHigh[c - 0x80], &out);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace quarnset
