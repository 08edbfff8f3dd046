// Quoted-printable: the encoding of every byte, truncation by the buffer
// size, and the decoder's escapes in either case, soft breaks and kept equals
// signs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "codec/quoted.h"
#include "kov32.h"

namespace {

// Runs `code` on a buffer of size + 1 marks; checks the NUL after the result
// and that the last mark stays.
template <typename Code>
std::string Marked(int size, Code code) {
  std::string out(static_cast<size_t>(size > 0 ? size : 0) + 1, '#');
  int n = code(&out[0]);
  EXPECT_EQ(out[static_cast<size_t>(n)], size > 0 ? '\0' : '#');
  EXPECT_EQ(out.back(), '#') << "wrote past the size";
  return out.substr(0, static_cast<size_t>(n));
}

std::string Quote(const std::string& text, int size) {
  return Marked(size, [&](char* out) { return kovQuoteBuffer(text.c_str(), out, size); });
}

TEST(QuotedPrintable, EveryByteIsCopiedOrEscaped) {
  for (int ch = 1; ch < 256; ++ch) {
    const bool printable = ch >= 0x20 && ch <= 0x7E;
    char expected[4];
    snprintf(expected, sizeof expected, printable && ch != '=' ? "%c" : "=%02X", ch);
    EXPECT_EQ(Quote(std::string(1, static_cast<char>(ch)), 100), expected) << ch;
    EXPECT_EQ(IsPrintable(static_cast<char>(ch)), printable ? 1 : 0) << ch;
  }
}

TEST(QuotedPrintable, EncodeTable) {
  const struct {
    std::string text;
    int size;
    std::string out;
  } cases[] = {
      {"a=b", 100, "a=3Db"}, {"abc\r\n", 100, "abc=0D=0A"}, {"a \tb ", 100, "a =09b "}, {"abcdef", 3, ""},
      {"==", 4, "=3D"},      {"abcdef", 5, "ab"},           {"a=b", 6, "a=3D"},         {"abcdef", -4, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Quote(c.text, c.size), c.out) << c.text << " size " << c.size;
  char out[4] = "##";
  EXPECT_EQ(kovQuoteBuffer(nullptr, out, 4), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(kovQuoteBuffer("abc", nullptr, 4), 0);
}

TEST(QuotedPrintable, SpanStopsBeforeWhatDoesNotFit) {
  const struct {
    std::string text;
    int room;
    std::string out;
    int taken;
  } cases[] = {
      {"a=b", 4, "a=3D", 2}, {"a=b", 3, "a", 1}, {std::string("\0\xe9x", 3), 7, "=00=E9x", 3},
      {"abc", 0, "", 0},     {"abc", 2, "ab", 2}, {"", 5, "", 0},
  };
  for (const auto& c : cases) {
    char out[16];
    int taken = -1;
    const int n = QuoteSpan(c.text.data(), static_cast<int>(c.text.size()), out, c.room, taken);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), c.out) << c.text << " room " << c.room;
    EXPECT_EQ(taken, c.taken) << c.text << " room " << c.room;
  }
}

// A whole received line through the decoder.
std::string DecodeLine(const std::string& line) {
  Carry carry{};
  std::string out(line.size() + 2, '#');
  const int n = DecodeQuoted(line.data(), static_cast<int>(line.size()), true, carry, &out[0]);
  EXPECT_EQ(carry.length, 0) << line;
  return out.substr(0, static_cast<size_t>(n));
}

TEST(QuotedPrintable, LineDecodeTable) {
  const struct {
    std::string line;
    std::string out;
  } cases[] = {
      {"caf=E9\r\n", "caf\xE9\r\n"},
      {"soft=\r\n", "soft"},
      {"a=3D=4G", "a=@"},  // characters other than hexadecimal digits count as 0
      {"<a href=\"x\">=3F?\r\n", "<a href=\"x\">??\r\n"},
      {"=?iso-8859-1?q?x?=\r\n", "=?iso-8859-1?q?x?"},  // the word survives; "=" before CR is a soft break
      {"=\"=41", "=\"A"},
      {"ends=", "ends"},
      {"ends=4", "ends"},
      {"=00x", std::string("\0x", 2)},
      {"a\n", "a\n"},
      {"soft=\n", "soft"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeLine(c.line), c.out) << c.line;
  Carry carry{};
  char out[4] = "##";
  EXPECT_EQ(DecodeQuoted(nullptr, 4, true, carry, out), 0);
  EXPECT_EQ(DecodeQuoted("ab", 2, true, carry, nullptr), 0);
}

// Lowercase hexadecimal digits decode like uppercase ones (an escape such as
// =e9 used to give the wrong byte).
TEST(QuotedPrintable, LowercaseDigitsDecode) {
  const struct {
    std::string line;
    std::string out;
  } cases[] = {
      {"caf=e9\r\n", "caf\xE9\r\n"},     {"=3d=3D", "=="},           {"=ab=AB=aB=Ab", "\xAB\xAB\xAB\xAB"},
      {"=0a=0d", "\n\r"},              {"=ff=fF", "\xFF\xFF"},     {"=c3=a9t=c3=a9\r\n", "\xC3\xA9t\xC3\xA9\r\n"},
      {"=fg", std::string(1, '\xF0')},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeLine(c.line), c.out) << c.line;
  for (char ch = 'a'; ch <= 'f'; ++ch) EXPECT_EQ(HexDigitValue(ch), ch - 'a' + 10) << ch;
}

}  // namespace
