// The decoder's pure helpers: parameter values, encoded words, safe part
// names, and body decoding that must not depend on where a line is cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/quoted.h"
#include "codec/strings.h"
#include "engine/mime/body.h"
#include "engine/mime/names.h"
#include "engine/mime/params.h"
#include "engine/mime/words.h"

namespace {

TEST(MimeParams, ValuesEndWhereTheyEnd) {
  struct Case {
    const char* line;
    const char* value;  // null: no value
  } cases[] = {
      {"Content-Type: multipart/mixed; boundary=abc; charset=x\r\n", "abc"},
      {"Content-Type: multipart/signed; boundary=abc; protocol=\"p/q\"\r\n", "abc"},
      {"Content-Type: multipart/mixed; boundary=\"a b;c\"\r\n", "a b;c"},
      {"Content-Type: multipart/mixed; BOUNDARY=  \"q\"\r\n", "q"},
      {"Content-Type: multipart/mixed; boundary=x\"y\"\r\n", "x\"y\""},
      {"Content-Type: multipart/mixed; boundary=tab\tend\r\n", "tab"},
      {"Content-Type: multipart/mixed; boundary=\"\"\r\n", ""},
      {"Content-Type: multipart/mixed; boundary=\"open\r\n", nullptr},
      {"Content-Type: multipart/mixed; boundary=cut", nullptr},
      {"Content-Type: multipart/mixed\r\n", nullptr},
  };
  for (const Case& t : cases) {
    ParamValue v{};
    const bool found = FindParameter(t.line, 13, "boundary=", v);
    ASSERT_EQ(found, t.value != nullptr) << t.line;
    if (found) {
      EXPECT_EQ(std::string(t.line + v.start, static_cast<size_t>(v.length)), t.value) << t.line;
    }
  }
}

std::string Words(const std::string& text, WordStyle style) {
  char out[256];
  const int n = DecodeEncodedWords(text.data(), static_cast<int>(text.size()), out, sizeof out, style);
  return std::string(out, static_cast<size_t>(n));
}

TEST(MimeWords, OnlyTheWordsAreDecoded) {
  struct Case {
    const char* text;
    WordStyle style;
    const char* decoded;
  } cases[] = {
      {"Subject: a=3Db =?iso-8859-1?q?caf=E9_x?=\r\n", WordStyle::kHeader, "Subject: a=3Db caf\xE9 x\r\n"},
      {"=?ISO-8859-1?Q?a_b?=", WordStyle::kName, "a_b"},
      {"S: =?iso-8859-1?b?SGVsbG8=?=\r\n", WordStyle::kHeader, "S: Hello     \r\n"},
      {"S: =?iso-8859-1?b?SGk=?= and =?iso-8859-1?b?SGk=?= end\r\n", WordStyle::kHeader,
       "S: Hi and Hi end        \r\n"},
      {"=?iso-8859-1?b?SGVsbG8=?=", WordStyle::kName, "Hello"},
      {"S: =?iso-8859-1?q?a=0D=0Ab=00c?=\r\n", WordStyle::kHeader, "S: a  b c\r\n"},
      {"S: =?iso-8859-1?b?YQ0KYg==?=\r\n", WordStyle::kHeader, "S: a  b      \r\n"},
      {"=?utf-8?q?x?= =?iso-8859-1?x?y?= =?iso-8859-1?q?open", WordStyle::kName,
       "=?utf-8?q?x?= =?iso-8859-1?x?y?= =?iso-8859-1?q?open"},
      {"=?iso-8859-1?q?a?b?=", WordStyle::kName, "=?iso-8859-1?q?a?b?="},
      {"=?iso-8859-1?q?caf=e9=5F?=", WordStyle::kHeader, "caf\xE9_"},  // lowercase digits; an encoded '_' stays
      {"=?iso-8859-1?q?a=\"b=4?=", WordStyle::kName, "a=\"b=4"},     // '=' before '"' stays, as in bodies
      {"=?iso-8859-1?b?YQ==YWI=?=", WordStyle::kName, "aab"},         // padding ends each group
  };
  for (const Case& t : cases) EXPECT_EQ(Words(t.text, t.style), t.decoded) << t.text;
  EXPECT_TRUE(HasEncodedWord("x =?Iso-8859-1?B?QQ==?="));
  EXPECT_FALSE(HasEncodedWord("x =?utf-8?B?QQ==?="));
}

std::string Name(const char* name, PartNaming naming = {0, false, 0, "mail.txt"}) {
  char out[160];
  MakePartFileName(name, naming, out, sizeof out);
  return out;
}

TEST(MimeNames, NamesCannotEscapeOrCollide) {
  struct Case {
    const char* name;
    const char* file;
  } cases[] = {
      {"report.pdf", "report.pdf"},
      {"..", "noname"},
      {".", "noname"},
      {"", "noname"},
      {" . ", "noname"},
      {"a. ", "a__"},
      {"../../etc/x", "_.._.._etc_x"},  // as a decoded word gives it: no break left
      {".bashrc", "_.bashrc"},          // a hidden file never replaces the user's
      {".ssh\\authorized_keys", "_.ssh_authorized_keys"},
      {"...x", "_...x"},
      {". x", "_. x"},
      {"x.", "x_"},
      {"CON.txt", "_CON.txt"},
      {"nul", "_nul"},
      {"Lpt9", "_Lpt9"},
      {"com1 .tar.gz", "_com1 .tar.gz"},
      {"COM\xB2", "_COM\xB2"},
      {"conout$", "_conout$"},
      {"CONSOLE", "CONSOLE"},
      {"COM10", "COM10"},
      {"MAIL.TXT", "_MAIL.TXT"},
      {"a\x01\x1f\"*/:<=>?\\|b", "a____________b"},
      {"x\x81\x8d\x8e\x8f\x90\x9d\x9ey\xe9", "x_______y\xe9"},
  };
  for (const Case& t : cases) EXPECT_EQ(Name(t.name), t.file) << t.name;
  EXPECT_EQ(Name("a.txt", {7, true, 2, "m"}), "7.att");
  EXPECT_EQ(Name("a.txt", {0, true, 2, "m"}), "3-a.txt");
  EXPECT_EQ(Name("mail.txt", {0, false, 0, "dir\\mail.txt"}), "_mail.txt");
  EXPECT_EQ(Name(".m", {0, false, 0, "dir/.m"}), "_.m");
  EXPECT_EQ(Name(".x", {0, true, 2, "m"}), "3-.x");  // numbered names start with a digit
  EXPECT_EQ(Name(std::string(200, 'n').c_str()), std::string(159, 'n'));
  EXPECT_EQ(Name("x", {0, false, 0, "/x"}), "_x");
}

TEST(MimeNames, TheSavedList) {
  char list[8] = "";
  EXPECT_TRUE(AppendSavedName(list, sizeof list, "abc", ','));
  EXPECT_TRUE(AppendSavedName(list, sizeof list, "de", ';'));
  EXPECT_FALSE(AppendSavedName(list, sizeof list, "f", ','));
  EXPECT_STREQ(list, "abc;de");
}

// Decoding a text cut into two pieces at every place gives what the whole
// text gives.
template <typename Decode>
void SameAtEveryCut(const std::string& text, Decode decode) {
  const std::string whole = decode(std::vector<std::string>{text});
  for (size_t cut = 1; cut < text.size(); ++cut) {
    EXPECT_EQ(decode(std::vector<std::string>{text.substr(0, cut), text.substr(cut)}), whole) << cut;
  }
}

TEST(MimeBody, PiecesDecodeLikeWholeLines) {
  auto base64 = [](const std::vector<std::string>& pieces) {
    Carry carry{};
    std::string out;
    for (const std::string& p : pieces) {
      std::string room(p.size() + 8, '\0');
      out.append(room.data(), DecodeBase64(p.data(), static_cast<int>(p.size()), carry, Base64Skip::kLineEndsAndBlanks, &room[0]));
    }
    return out;
  };
  EXPECT_EQ(base64({"YWJj ZA\r\n", "==\r\n"}), "abcd");
  SameAtEveryCut("YWJjZGVm\r\n", base64);
  auto quoted = [](const std::vector<std::string>& pieces) {
    Carry carry{};
    std::string out;
    for (size_t i = 0; i < pieces.size(); ++i) {
      std::string room(pieces[i].size() + 4, '\0');
      const bool end = i + 1 == pieces.size();
      out.append(room.data(),
                 DecodeQuoted(pieces[i].data(), static_cast<int>(pieces[i].size()), end, carry, &room[0]));
    }
    return out;
  };
  EXPECT_EQ(quoted({"caf=E9 =3D=\"x=?  \r\n"}), "caf\xE9 ==\"x=?  \r\n");
  EXPECT_EQ(quoted({"soft= \r\n"}), "soft");
  SameAtEveryCut("a=41b=\r\n", quoted);
  SameAtEveryCut("x=3D\r\n", quoted);
  auto held = [](const std::vector<std::string>& pieces) {
    Carry end{};
    std::string out;
    for (const std::string& p : pieces) {
      std::string room(p.size() + 2, '\0');
      out.append(room.data(), HoldLineEnd(p.data(), static_cast<int>(p.size()), end, &room[0]));
    }
    return out + "|" + std::string(end.bytes, end.length);
  };
  EXPECT_EQ(held({"a\r\n", "\r\n"}), "a\r\n|\r\n");
  SameAtEveryCut("a\r\nb\r\n", held);
}

}  // namespace
