// Quoted-printable: the encoding of every byte, truncation by the buffer
// size, and the line decoder's escapes, soft breaks and kept equals signs.
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

TEST(QuotedPrintable, LineDecodeTable) {
  const struct {
    std::string line;
    int size;
    std::string out;
  } cases[] = {
      {"caf=E9\r\n", 64, "caf\xE9\r\n"},
      {"soft=\r\n", 64, "soft"},
      {"a=3d=4G", 64, "a0@"},  // lowercase and other non-digits count as 0
      {"<a href=\"x\">=3F?\r\n", 64, "<a href=\"x\">??\r\n"},
      {"=?iso-8859-1?q?x?=\r\n", 64, "=?iso-8859-1?q?x?"},  // the word survives; "=" before CR is a soft break
      {"=\"=41", 64, "=\"A"},
      {"ends=", 64, "ends"},
      {"ends=4", 64, "ends"},
      {"=00x", 64, std::string("\0x", 2)},
      {"abcdef\r\n", 4, "abc"},
      {"=41=42=43", 3, "AB"},
      {"abc", 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Marked(c.size, [&](char* out) { return DecodeQuotedLine(c.line.c_str(), out, c.size); }), c.out)
        << c.line;
  }
  char out[4] = "##";
  EXPECT_EQ(DecodeQuotedLine(nullptr, out, 4), 0);
  EXPECT_STREQ(out, "");
}

}  // namespace
