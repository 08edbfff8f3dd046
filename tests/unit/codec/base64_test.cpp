// Base64: the RFC 4648 vectors, round trips of every length up to 300, the
// line structure, stray characters and short groups, groups that span line
// ends, and the fast decoder checked against the rule written plainly, whole
// and in pieces.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
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
      {"YWJj\r\n\r\n\nZGVm\n", 6, "abcdef"},         // every CR and LF between groups is skipped
      {line76 + "\r\n" + line76 + "\r\n", 114, std::string(114, 'q')},
      {std::string("YWJj\0\rYWJj", 10), 6, "abc"},  // a NUL is a zero value
  };
  for (const auto& c : cases) {
    std::string out = DecodeAndTail(c.text);
    EXPECT_EQ(static_cast<int>(out.size()) - 4, c.result) << c.text;
    EXPECT_EQ(out.substr(0, c.bytes.size()), c.bytes) << c.text;
  }
}

// Line ends are passed over, so that a group of four may span them: input
// with LF alone and groups cut by a line end decode as the stream they form.
TEST(Base64, LineEndsDoNotCutGroups) {
  const std::string line76 = Encode(std::string(57, 'q')).substr(0, 76);
  const struct {
    std::string text;
    std::string bytes;  // all the bytes decoded
  } cases[] = {
      {line76 + "\n" + line76 + "\n", std::string(114, 'q')},
      {line76 + "\n" + line76, std::string(114, 'q')},
      {"YWJj\nZGVm\n", "abcdef"},
      {"YW\r\nJj", "abc"},
      {"YWJ\nj", "abc"},
      {"Y\r\nW\nJ\r\nj\r\n", "abc"},
      {"YQ=\r\n=", "a"},
      {"YQ==\r\nYWJj", "aabc"},
      {"YQ==YWJj", "aabc"},  // padding ends its group wherever it stands
      {"YWJjZ\r\nGVm", "abcdef"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeAndTail(c.text), c.bytes + std::string(4, '\0')) << c.text;
}

// The rule spelled out plainly: CR and LF dropped, then groups of four, every
// character outside the alphabet a zero value, padding per group, 1 to 3
// characters at the end ignored; 4 zero bytes after the result.
int PlainDecode(const char* source, char* out, int length) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string kept;
  for (int i = 0; i < length; ++i) {
    if (source[i] != '\r' && source[i] != '\n') kept += source[i];
  }
  int n = 0;
  for (size_t at = 0; at + 4 <= kept.size(); at += 4) {
    uint32_t bits = 0;
    for (size_t k = 0; k < 4; ++k) {
      const size_t value = kAlphabet.find(kept[at + k]);
      bits = bits << 6 | (value == std::string::npos ? 0 : static_cast<uint32_t>(value));
    }
    const char bytes[3] = {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8), static_cast<char>(bits)};
    const int count = kept[at + 3] != '=' ? 3 : (kept[at + 2] == '=' ? 1 : 2);
    for (int k = 0; k < count; ++k) out[n++] = bytes[k];
  }
  for (int k = 0; k < 4; ++k) out[n + k] = '\0';
  return n;
}

TEST(Base64, DecoderAgreesWithThePlainRuleOnNoise) {
  const char kChars[] = "QUJDZGVm=\r\n\0 +/!";
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    const int length = static_cast<int>(random() % 120);
    std::string text(static_cast<size_t>(length), '\0');
    for (char& ch : text) ch = kChars[random() % (sizeof kChars - 1)];
    // Exactly the documented room, so that a write past it is caught.
    const size_t room = static_cast<size_t>(3 * (length / 4) + 4);
    std::vector<char> fast(room, '#'), plain(room, '#');
    const int n = kovDecodeBuffer(text.data(), fast.data(), length);
    ASSERT_EQ(n, length > 0 ? PlainDecode(text.data(), plain.data(), length) : 0);
    ASSERT_EQ(std::vector<char>(fast.begin(), fast.begin() + n + (length > 0 ? 4 : 0)),
              std::vector<char>(plain.begin(), plain.begin() + n + (length > 0 ? 4 : 0)))
        << round;
  }
}

// The stream decoder gives the same bytes however the text is cut into
// calls; blanks are zero values or passed over as the caller asks.
TEST(Base64, StreamInPiecesGivesTheWholeResult) {
  const char kChars[] = "QUJDZGVm=\r\n \t+/!";
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 80, '\0');
    for (char& ch : text) ch = kChars[random() % (sizeof kChars - 1)];
    for (Base64Skip skip : {Base64Skip::kLineEnds, Base64Skip::kLineEndsAndBlanks}) {
      auto decode = [&](size_t cut) {
        Carry carry{};
        std::string out;
        for (const std::string& piece : {text.substr(0, cut), text.substr(cut)}) {
          std::string room(piece.size() + 6, '#');
          out.append(room.data(), DecodeBase64(piece.data(), static_cast<int>(piece.size()), carry, skip, &room[0]));
        }
        return out;
      };
      const std::string whole = decode(text.size());
      ASSERT_EQ(decode(random() % (text.size() + 1)), whole) << text;
    }
  }
  Carry carry{};
  char out[8];
  EXPECT_EQ(DecodeBase64("YW Jj", 5, carry, Base64Skip::kLineEndsAndBlanks, out), 3);
  EXPECT_EQ(std::string(out, 3), "abc");
  EXPECT_EQ(DecodeBase64("YW Jj", 5, carry, Base64Skip::kLineEnds, out), 3);
  EXPECT_EQ(std::string(out, 3), std::string("\x61\x60\x09", 3));
  EXPECT_EQ(carry.length, 1);
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
