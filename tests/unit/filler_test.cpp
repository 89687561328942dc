// Filler decoding: a file stored with a filler byte before each of its bytes is decoded in place, chunk
// by chunk, the parity kept across chunks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/filler.h"

namespace {

std::string DecodeInChunks(const std::string& stored, const std::vector<size_t>& chunks) {
  FillerDecoder decoder;
  std::string out;
  size_t pos = 0;
  size_t i = 0;
  while (pos < stored.size()) {
    size_t n = chunks[i++ % chunks.size()];
    if (n > stored.size() - pos) n = stored.size() - pos;
    std::string chunk = stored.substr(pos, n);
    size_t kept = decoder.Decode(&chunk[0], n, &chunk[0]);  // in place, as the download does
    EXPECT_LE(kept, (n + 1) / 2);
    out.append(chunk, 0, kept);
    pos += n;
  }
  return out;
}

TEST(FillerDecoding, TenStoredBytesGiveTheFiveAtOddOffsets) {
  FillerDecoder d;
  char stored[] = "f1f2f3f4f5";
  char out[10];
  ASSERT_EQ(d.Decode(stored, 10, out), 5u);
  EXPECT_EQ(std::string(out, 5), "12345");
}

TEST(FillerDecoding, ParityBelongsToTheFileNotTheChunk) {
  std::string content;
  std::string stored;
  for (int i = 0; i < 1001; ++i) {
    char c = static_cast<char>((i * 37 + 11) & 0xFF);
    content += c;
    stored += static_cast<char>(0xAA);  // filler
    stored += c;
  }
  const std::vector<std::vector<size_t>> splits = {
      {2}, {1}, {3}, {7, 2, 5}, {1, 1, 4}, {511999}, {512000}, {3, 512000}, {2001}, {999, 1}};
  for (const auto& split : splits) {
    EXPECT_EQ(DecodeInChunks(stored, split), content) << "first chunk " << split[0];
  }
}

TEST(FillerDecoding, OddStoredLengthDropsTheTrailingFiller) {
  FillerDecoder d;
  char stored[] = "f1f2f";
  char out[8];
  EXPECT_EQ(d.Decode(stored, 5, out), 2u);
  EXPECT_EQ(std::string(out, 2), "12");
  char one[] = "3";  // the next chunk begins at an odd offset: a content byte
  EXPECT_EQ(d.Decode(one, 1, out), 1u);
  EXPECT_EQ(out[0], '3');
  EXPECT_EQ(d.Decode(one, 0, out), 0u);
}

}  // namespace
