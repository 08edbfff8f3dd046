// Encoded words, quoted and RFC 2231 parameter values: exact forms for short
// texts, and for long ones the line limits and the UTF-8 character bounds.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "codec/encoded_words.h"

namespace {

std::string Words(const std::string& text, int column) {
  char out[4096];
  const int n = EncodeWords(text.data(), static_cast<int>(text.size()), column, out, sizeof out);
  return n < 0 ? "<none>" : std::string(out, static_cast<size_t>(n));
}

// Every physical line, with the column before the first.
void ExpectLinesWithin(const std::string& folded, int column, int limit) {
  std::istringstream lines(folded);
  for (std::string line; std::getline(lines, line); column = 0) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    EXPECT_LE(column + static_cast<int>(line.size()), limit) << line;
  }
}

TEST(EncodedWords, ShortTextsTakeTheShorterForm) {
  struct Case {
    const char* text;
    const char* words;
  } cases[] = {
      {"Grüße aus Köln", "=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?="},
      {"Köln Hauptbahnhof", "=?UTF-8?Q?K=C3=B6ln_Hauptbahnhof?="},
      {"你好", "=?UTF-8?B?5L2g5aW9?="},
      {"é a\"b_c=d?e plain words and letters here", "=?UTF-8?Q?=C3=A9_a=22b=5Fc=3Dd=3Fe_plain_words_and_letters_here?="},
      {"😀", "=?UTF-8?B?8J+YgA==?="},
  };
  for (const auto& t : cases) EXPECT_EQ(Words(t.text, 9), t.words) << t.text;
}

TEST(EncodedWords, LongTextsFoldBetweenWholeCharacters) {
  std::string emoji;
  for (int i = 0; i < 40; ++i) emoji += "😀é";
  const std::string folded = Words(emoji, 9);
  ExpectLinesWithin(folded, 9, 78);
  // Each word decodes on its own: B words of whole 4-byte or 2-byte
  // characters have no partial group that splits one.
  size_t words = 0;
  for (size_t at = folded.find("=?UTF-8?"); at != std::string::npos; at = folded.find("=?UTF-8?", at + 1)) {
    const size_t end = folded.find("?=", at + 10);
    EXPECT_LE(end + 2 - at, 75u);
    ++words;
  }
  EXPECT_GT(words, 3u);
  char small[20];
  EXPECT_EQ(EncodeWords(emoji.data(), static_cast<int>(emoji.size()), 0, small, sizeof small), -1);
}

TEST(EncodedWords, AddressListsEncodeNamesOnly) {
  struct Case {
    const char* list;
    const char* out;
  } cases[] = {
      {"Ann <a@x.y>, Bob <b@x.y>", "Ann <a@x.y>, Bob <b@x.y>"},
      {"jörg@x.y, b@x.y", "jörg@x.y, b@x.y"},
      {"Jörg Schmidt <j@x.y>,<b@x.y>", "=?UTF-8?Q?J=C3=B6rg_Schmidt?= <j@x.y>, <b@x.y>"},
      {"\"Müller, J\\\"r\" <m@x.y>", "=?UTF-8?B?TcO8bGxlciwgSiJy?= <m@x.y>"},
  };
  for (const auto& t : cases) {
    char out[256];
    ASSERT_GE(EncodeAddressList(t.list, ',', 4, out, sizeof out), 0);
    EXPECT_STREQ(out, t.out);
  }
}

TEST(EncodedWords, HeaderBlocksEncodeValuesThatAreNotAscii) {
  char out[256];
  ASSERT_GE(EncodeHeaderBlock("X-A: 1\r\nX-Ort:  Köln\nX-B: 2", out, sizeof out), 0);
  EXPECT_STREQ(out, "X-A: 1\r\nX-Ort: =?UTF-8?B?S8O2bG4=?=\r\nX-B: 2");
}

TEST(Parameters, QuotesAndBackslashesAreEscaped) {
  char out[64];
  EXPECT_EQ(EscapeQuoted("Report \"Q1\" a\\b.pdf", out, sizeof out), 22);
  EXPECT_STREQ(out, "Report \\\"Q1\\\" a\\\\b.pdf");
  EXPECT_EQ(EscapeQuoted("\"\"\"", out, 6), -1);
}

TEST(Parameters, ExtendedFormOnOneLineOrInSections) {
  char out[4096];
  ASSERT_GT(ExtendedParameter("Content-Disposition: attachment;", "filename", "Über \"Q1\".pdf", out, sizeof out), 0);
  EXPECT_STREQ(out, "Content-Disposition: attachment; filename*=UTF-8''%C3%9Cber%20%22Q1%22.pdf");
  std::string name;
  for (int i = 0; i < 60; ++i) name += "€";
  ASSERT_GT(ExtendedParameter("Content-Disposition: attachment;", "filename", name.c_str(), out, sizeof out), 0);
  const std::string folded = out;
  EXPECT_EQ(folded.find("Content-Disposition: attachment;\r\n filename*0*=UTF-8''%E2%82%AC"), 0u);
  EXPECT_NE(folded.find(";\r\n filename*1*=%E2%82%AC"), std::string::npos);  // sections start on a whole character
  ExpectLinesWithin(folded, 0, 78);
  EXPECT_EQ(ExtendedParameter("Content-Disposition: attachment;", "filename", name.c_str(), out, 100), -1);
}

}  // namespace
