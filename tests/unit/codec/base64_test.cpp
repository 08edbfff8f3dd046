// Base64: the RFC 4648 vectors, round trips of every length up to 300, the
// line structure, stray characters and short chunks, and the fast chunk
// search checked against the rule written plainly.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "kov32.h"

namespace {

std::string Encode(const std::string& data) {
  std::string out(static_cast<size_t>(EncodedSize(static_cast<int>(data.size()))) + 1, '#');
  int n = kovEncodeBuffer(data.data(), &out[0], static_cast<int>(data.size()));
  EXPECT_EQ(out[static_cast<size_t>(n)], '#') << "wrote past its result";
  return out.substr(0, static_cast<size_t>(n));
}

// The decoded bytes followed by the 4 bytes after them.
std::string DecodeAndTail(const std::string& text) {
  std::string out(text.size() + 8, '#');
  int n = kovDecodeBuffer(text.data(), &out[0], static_cast<int>(text.size()));
  return out.substr(0, static_cast<size_t>(n) + 4);
}

TEST(Base64, Rfc4648VectorsAndRoundTrips) {
  const char* cases[][2] = {{"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
                            {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Encode(c[0]), std::string(c[1]) + "\r\n");
    EXPECT_EQ(DecodeAndTail(std::string(c[1]) + "\r\n"), c[0] + std::string(4, '\0'));
  }
  // 57 bytes make one full line; the 58th starts a second.
  EXPECT_EQ(Encode(std::string(57, 'x')).size(), 78u);
  EXPECT_EQ(Encode(std::string(58, 'x')).size(), 84u);
  std::mt19937 random(7);
  for (int length = 0; length <= 300; ++length) {
    std::string data(static_cast<size_t>(length), '\0');
    for (char& ch : data) ch = static_cast<char>(random());
    const std::string text = Encode(data);
    ASSERT_EQ(static_cast<int>(text.size()), EncodedSize(length));
    EXPECT_EQ(DecodeAndTail(text), data + std::string(4, length > 0 ? '\0' : '#')) << length;
    // Every line is 76 characters and CR LF, but the last may be shorter.
    for (size_t at = 0; at < text.size(); at += 78) {
      size_t end = text.find("\r\n", at);
      EXPECT_TRUE(end - at == 76 || end + 2 == text.size()) << length;
    }
  }
}

TEST(Base64, DecodeRules) {
  const std::string line76 = Encode(std::string(57, 'q')).substr(0, 76);
  const struct {
    std::string text;
    int result;
    std::string bytes;  // prefix of the output that must match
  } cases[] = {
      {"YQ==", 1, "a"},
      {"YWI=", 2, "ab"},
      {"YWJjZ", 3, "abc"},                           // a fifth character is ignored
      {"YWJ", 0, ""},                                // no complete group
      {"Y WJj", 3, std::string("\x60\x05\x89", 3)},  // a stray blank is a zero value
      {"YWJj\r\n\r\n\nZGVm\n", 6, "abcdef"},         // every CR and LF after a chunk is skipped
      {line76 + "\r\n" + line76 + "\r\n", 114, std::string(114, 'q')},
      {line76 + "\n" + line76, 114, std::string(57, 'q')},  // an LF alone is not a line end
      {std::string("YWJj\0\rYWJj", 10), 6, "abc"},          // a NUL before the CR: one chunk of it all
  };
  for (const auto& c : cases) {
    std::string out = DecodeAndTail(c.text);
    EXPECT_EQ(static_cast<int>(out.size()) - 4, c.result) << c.text;
    EXPECT_EQ(out.substr(0, c.bytes.size()), c.bytes) << c.text;
  }
}

// The chunk rule spelled out plainly: the chunk ends at the first CR unless a
// NUL comes first, and every CR and LF after it is skipped.
int ChunkByChunk(const char* source, char* out, int length) {
  int total = 0;
  for (int at = 0; at < length;) {
    int end = at;
    while (end < length && source[end] != '\r' && source[end] != '\0') ++end;
    if (end < length && source[end] == '\0') end = length;
    total += DecodeLine(source + at, out + total, end - at);
    for (at = end; at < length && (source[at] == '\r' || source[at] == '\n');) ++at;
  }
  return total;
}

TEST(Base64, DecoderAgreesWithThePlainChunkRuleOnNoise) {
  const char kChars[] = "QUJDZGVm=\r\n\0 +/!";
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    const int length = static_cast<int>(random() % 120);
    std::string text(static_cast<size_t>(length), '\0');
    for (char& ch : text) ch = kChars[random() % (sizeof kChars - 1)];
    // Exactly the documented room, so that a write past it is caught.
    const size_t room = static_cast<size_t>(3 * (length / 4) + 4);
    std::vector<char> fast(room, '#'), plain(room, '#');
    ASSERT_EQ(kovDecodeBuffer(text.data(), fast.data(), length), ChunkByChunk(text.data(), plain.data(), length));
    ASSERT_EQ(fast, plain) << round;
  }
}

TEST(Base64, BadArgumentsWriteNothing) {
  char out[8] = "#######";
  EXPECT_EQ(kovEncodeBuffer(nullptr, out, 3), 0);
  EXPECT_EQ(kovEncodeBuffer("abc", nullptr, 3), 0);
  EXPECT_EQ(kovDecodeBuffer("YWJj", out, -1), 0);
  EXPECT_EQ(kovDecodeBuffer(nullptr, out, 4), 0);
  EXPECT_EQ(kovDecodeBuffer("YWJj", nullptr, 4), 0);
  // A length whose encoding would not fit an int is refused before anything is touched.
  EXPECT_EQ(EncodedSize(INT_MAX), -1);
  EXPECT_EQ(kovEncodeBuffer("abc", out, INT_MAX), 0);
  EXPECT_STREQ(out, "#######");
}

}  // namespace
