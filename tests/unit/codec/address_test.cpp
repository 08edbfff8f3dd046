// The address check of kovVerifyFormat, the server-name check, and the two
// line extractors.
#include <gtest/gtest.h>

#include "codec/address.h"
#include "kov32.h"

namespace {

TEST(Address, VerifyFormatTable) {
  const struct {
    const char* address;
    int result;
  } cases[] = {
      {"John Smith <john.smith@mail.example.com>", 1},
      {"<o'neil$&_-/x@a.b>", 1},
      {"john.smith@mail.example.com", -41},
      {"<john@example.com", -43},
      {">john@example.com<", -43},
      {"<>", -47},
      {"<@example.com>", -37},
      {"<john@>", -37},
      {"<jo@hn@exa mple.com>", -53},  // the second '@' is seen before the blank
      {"<jo hn@example.com>", -32},
      {"<john.example.com>", -39},
      {"<john@example.com!>", -32},
      {"", -37},
      {nullptr, -47},
      {"<a@b.c>, d@e.f", 1},  // only the first address of a list counts
      {"a@b.c, <d@e.f>", -41},
      {"<a@b.c, d@e.f>", -43},
      // The local part is an RFC 5322 dot-atom: every atext character.
      {"<john+tag@example.com>", 1},
      {"<a!b#c$d%e&f'g*h+i-j/k=l?m^n_o`p{q|r}s~t.u@example.com>", 1},
      {"<=?^`{|}~@example.com>", 1},
      // The domain keeps its own characters.
      {"<john@exa+mple.com>", -32},
      {"<john@example.com~>", -32},
      // Specials and controls are no atext.
      {"<jo(hn)@example.com>", -32},
      {"<jo\"hn@example.com>", -32},
      {"<jo;hn@example.com>", -32},
      {"<jo\\hn@example.com>", -32},
      {"<jo\thn@example.com>", -32},
      {"<jo\x80hn@example.com>", -32},
  };
  for (const auto& c : cases) EXPECT_EQ(kovVerifyFormat(c.address), c.result) << (c.address ? c.address : "null");
  EXPECT_EQ(VerifyAddress("a@b.c; <d@e.f>", ';'), -41);
}

TEST(Address, ServerNames) {
  const char* valid[] = {"mail.example.com", "", "x\xc0\xff y~"};
  const char* invalid[] = {"mail\texample", "mail\x80x", "mail\xbfx", "user@host", "<host>", "host\x7f", nullptr};
  for (const char* name : valid) EXPECT_EQ(ValidServerName(name), 1) << name;
  for (const char* name : invalid) EXPECT_EQ(ValidServerName(name), 0) << (name ? name : "null");
}

TEST(Extract, TextAndLineTables) {
  const char* text = "From: a@b\r\nSubject: Hello\r\nTo: c@d";
  const struct {
    const char* sought;  // null: extract by line number
    int line;
    int size;
    int result;
    const char* out;
  } cases[] = {
      {"subject:", 0, 64, 16, "Subject: Hello\r\n"},
      {"H", 0, 64, 7, "Hello\r\n"},
      {"Cc:", 0, 64, 0, "#"},
      {"subject:", 0, 8, 0, "Subject"},  // does not fit: cut and terminated
      {nullptr, 2, 64, 16, "Subject: Hello\r\n"},
      {nullptr, 0, 64, 11, "From: a@b\r\n"},  // line 0 is the first
      {nullptr, 3, 64, 7, "To: c@d"},         // the last line has no LF
      {nullptr, 3, 8, 7, "To: c@d"},          // and fits exactly
      {nullptr, 4, 64, 0, "#"},
  };
  for (const auto& c : cases) {
    char out[64] = "#";
    int n = c.sought ? kovExtractText(text, c.sought, out, c.size) : kovExtractLine(text, c.line, out, c.size);
    EXPECT_EQ(n, c.result) << (c.sought ? c.sought : "line") << c.line << " size " << c.size;
    EXPECT_STREQ(out, c.out) << c.line << " size " << c.size;
  }
  char out[8];
  EXPECT_EQ(kovExtractText(nullptr, "a", out, 8) + kovExtractText(text, "F", nullptr, 8) +
                kovExtractLine(nullptr, 1, out, 8) + kovExtractLine(text, 1, nullptr, 8) +
                kovExtractLine(text, 1, out, 1),
            0);
}

}  // namespace
