// The decoder's pure helpers: parameter values, encoded words, safe part
// names, and body decoding that must not depend on where a line is cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/quoted.h"
#include "codec/strings.h"
#include "engine/mime/filter.h"
#include "engine/mime/steps.h"
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

const WordRules kHeader = HeaderWordRules(TextCoding::kLatin1);
const WordRules kName = NameWordRules(TextCoding::kLatin1);
const WordRules kUtf8Header = HeaderWordRules(TextCoding::kUtf8);
const WordRules kUtf8Name = NameWordRules(TextCoding::kUtf8);

std::string Words(const std::string& text, const WordRules& rules) {
  char out[256];
  const int n = DecodeEncodedWords(text.data(), static_cast<int>(text.size()), out, sizeof out, rules);
  return std::string(out, static_cast<size_t>(n));
}

TEST(MimeWords, OnlyTheWordsAreDecoded) {
  struct Case {
    const char* text;
    WordRules rules;
    const char* decoded;
  } cases[] = {
      {"Subject: a=3Db =?iso-8859-1?q?caf=E9_x?=\r\n", kHeader, "Subject: a=3Db caf\xE9 x\r\n"},
      {"=?ISO-8859-1?Q?a_b?=", kName, "a_b"},
      {"S: =?iso-8859-1?b?SGVsbG8=?=\r\n", kHeader, "S: Hello     \r\n"},
      {"S: =?iso-8859-1?b?SGk=?= and =?iso-8859-1?b?SGk=?= end\r\n", kHeader,
       "S: Hi and Hi end        \r\n"},
      {"=?iso-8859-1?b?SGVsbG8=?=", kName, "Hello"},
      {"S: =?iso-8859-1?q?a=0D=0Ab=00c?=\r\n", kHeader, "S: a  b c\r\n"},
      {"S: =?iso-8859-1?b?YQ0KYg==?=\r\n", kHeader, "S: a  b      \r\n"},
      {"=?utf-8?q?x?= =?iso-8859-1?x?y?= =?iso-8859-1?q?open", kName, "x =?iso-8859-1?x?y?= =?iso-8859-1?q?open"},
      {"=?iso-8859-1?q?a?b?=", kName, "=?iso-8859-1?q?a?b?="},
      {"=?iso-8859-1?q?caf=e9=5F?=", kHeader, "caf\xE9_"},  // lowercase digits; an encoded '_' stays
      {"=?iso-8859-1?q?a=\"b=4?=", kName, "a=\"b=4"},     // '=' before '"' stays, as in bodies
      {"=?iso-8859-1?b?YQ==YWI=?=", kName, "aab"},         // padding ends each group
  };
  for (const Case& t : cases) EXPECT_EQ(Words(t.text, t.rules), t.decoded) << t.text;
  EXPECT_TRUE(HasEncodedWord("x =?Iso-8859-1?B?QQ==?="));
  EXPECT_TRUE(HasEncodedWord("x =?utf-8?B?QQ==?="));
  EXPECT_FALSE(HasEncodedWord("x =?utf-8?x?QQ==?= =? =?a?b"));
}

// Every character set the system converts, in the single-byte coding and in
// UTF-8; adjacent words joined without their blanks.
TEST(MimeWords, AnyCharsetIntoTheDecodersCoding) {
  struct Case {
    const char* text;
    WordRules rules;
    const char* decoded;
  } cases[] = {
      {"Subject: =?UTF-8?B?44Gm44GZ44GoLnR4dA==?=\r\n", kUtf8Header, "Subject: \u3066\u3059\u3068.txt\r\n"},
      {"=?utf-8?q?a?= =?utf-8?q?b?=\t=?iso-8859-1?q?c?= d", kUtf8Header, "abc d"},
      {"=?UTF-8?B?4w==?= =?UTF-8?B?gaY=?=", kUtf8Name, "\u3066"},  // one character split over two words
      {"=?KOI8-R?B?8NLJ18XU?=", kUtf8Header, "\u041f\u0440\u0438\u0432\u0435\u0442"},
      {"=?windows-1250?Q?=8A?= =?windows-1251?Q?=C6?=", kUtf8Header, "\u0160\u0416"},
      {"=?ISO-8859-15?Q?=A4?= =?iso-8859-1?q?=E9?=", kUtf8Header, "\u20ac\u00e9"},
      {"=?utf-8?q?caf=C3=A9?=", kName, "caf\xE9"},
      {"=?UTF-8?B?44Gm?=.txt", kName, "?.txt"},
      {"=?utf-8?q?a_b?=", kUtf8Name, "a b"},
      {"=?utf-8?b?YWI?=", kUtf8Name, "ab"},  // the last group without its padding
      {"=?UTF-8*en?Q?hi?=", kUtf8Name, "hi"},
      {"=?x-unknown?q?=E9?=", kUtf8Name, "\xE9"},  // a set the system does not know: the bytes
  };
  for (const Case& t : cases) EXPECT_EQ(Words(t.text, t.rules), t.decoded) << t.text;
}

TEST(MimeWords, BaseNameBreaksOutsideWordsOnly) {
  struct Case {
    const char* text;
    int start;
  } cases[] = {
      {"=?iso-8859-9?B?3XN0YW5idWwg/mVoaXIudHh0?=", 0},
      {"C:\\dir/=?utf-8?b?YS9i?=", 7},
      {"/x", 0},
      {"a/=?utf-8?q?open/b", 17},
  };
  for (const Case& t : cases) EXPECT_EQ(NameStartOutsideWords(t.text, static_cast<int>(strlen(t.text))), t.start) << t.text;
}

TEST(MimeParams, ExtendedParametersInAnyOrder) {
  struct Case {
    const char* line;
    const char* key;
    const char* charset;  // null: not found
    const char* value;
  } cases[] = {
      {"Content-Disposition: attachment; filename*=UTF-8''%E3%81%A6.txt\r\n", "filename", "UTF-8",
       "\xE3\x81\xA6.txt"},
      {"Content-Disposition: a; filename*1*=%C3%A9.txt; filename*0*=utf-8'en'caf\r\n", "filename", "utf-8",
       "caf\xC3\xA9.txt"},
      {"Content-Disposition: a; filename*0=\"a b\"; filename*1=\".txt\"\r\n", "filename", "", "a b.txt"},
      {"Content-Type: x; name*=iso-8859-1''%E9t%E9%2\r\n", "name", "iso-8859-1", "\xE9t\xE9%2"},
      {"Content-Disposition: a; filename*0*=us-ascii''a; filename*2=c\r\n", "filename", "us-ascii", "a"},
      {"Content-Disposition: a; x=\"; filename*=u''y\"; filename*=''z\r\n", "filename", "", "z"},
      {"Content-Disposition: attachment; filename=\"plain.txt\"\r\n", "filename", nullptr, ""},
      {"Content-Disposition: attachment; filename*=UTF-8''x\r\n", "name", nullptr, ""},
      {"Content-Disposition: a; filename*99=x\r\n", "filename", nullptr, ""},
      {"Content-Disposition: a; filename*0*; filename*1=b\r\n", "filename", "", "b"},  // no '=': empty
  };
  for (const Case& t : cases) {
    char charset[16], out[64];
    int length = -1;
    const bool found = FindExtendedParameter(t.line, 13, t.key, charset, sizeof charset, out, sizeof out, length);
    ASSERT_EQ(found, t.charset != nullptr) << t.line;
    if (!found) continue;
    EXPECT_STREQ(charset, t.charset) << t.line;
    EXPECT_EQ(std::string(out, static_cast<size_t>(length)), t.value) << t.line;
  }
}

TEST(MimeNames, ShortenedWithTheirExtensionAndNumbered) {
  struct Case {
    const char* name;
    bool utf8;
    int max;
    const char* fitted;
  } cases[] = {
      {"abcdefgh.txt", false, 8, "abcd.txt"},   {"abcdefgh.txt", false, 12, "abcdefgh.txt"},
      {"\xC3\xA9\xC3\xA9\xC3\xA9.txt", true, 9, "\xC3\xA9\xC3\xA9.txt"},
      {"abcdefghij", false, 4, "abcd"},          {"a.very-long-extension-beyond-thirty-two", false, 5, "a.ver"},
  };
  for (const Case& t : cases) {
    char out[64];
    const int n = FitName(t.name, static_cast<int>(strlen(t.name)), t.utf8, out, t.max);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), t.fitted) << t.name;
  }
  char out[64];
  NumberedName("a.txt", 2, out, sizeof out);
  EXPECT_STREQ(out, "a (2).txt");
  NumberedName(".bashrc", 3, out, sizeof out);
  EXPECT_STREQ(out, ".bashrc (3)");
  EXPECT_EQ(NameHash("Photo.JPG"), NameHash("photo.jpg"));
  EXPECT_NE(NameHash("photo.jpg"), NameHash("photo (2).jpg"));
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

// The log lines a message's lines give, one string each; `opened` is the
// handle every part file gets, and after line `dropAfter` the open part is
// given up as a channel does after it closed the file itself.
std::vector<std::string> LogLines(const std::vector<std::string>& lines, int opened, size_t dropAfter) {
  MimeFilter f{};
  MimeStartMessage(f);
  const MimeSettings s{"att", "mail.txt", '/', true, false, 0, 0, true, false};
  MimeOutput out{};
  std::vector<std::string> log;
  auto collect = [&] {
    for (int i = 0; i < out.count; ++i) {
      const MimeAction& a = out.actions[i];
      if (a.op == MimeOp::kLog) log.emplace_back(a.data, static_cast<size_t>(a.length));
      if (a.op == MimeOp::kPartOpen) MimePartOpened(f, opened);
    }
  };
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    for (int at = 0; at < static_cast<int>(line.size());) {
      at += MimeFilterLine(f, s, line.data() + at, static_cast<int>(line.size()) - at, out);
      collect();
    }
    if (n == dropAfter) MimePartDropped(f);
  }
  while (!MimeEndMessage(f, s, out)) collect();
  collect();
  return log;
}

TEST(MimeBody, TheLogShowsTheBodyStateWhenItIsNew) {
  const std::vector<std::string> message = {
      "MIME-Version: 1.0\r\n", "Content-Type: multipart/mixed; boundary=b\r\n", "\r\n", "--b\r\n",
      "Content-Type: application/octet-stream; name=\"a.bin\"\r\n", "Content-Transfer-Encoding: base64\r\n",
      "\r\n", "YWJj\r\n", "ZGVm\r\n", "Z2hp\r\n", "amts\r\n", "--b\r\n", "Content-Type: text/plain\r\n", "\r\n",
      "one\r\n", "two\r\n", "--b--\r\n"};
  auto count = [](const std::vector<std::string>& log, const std::string& line) {
    return std::count(log.begin(), log.end(), line);
  };
  // Every part shows its state and where its body goes once.
  std::vector<std::string> log = LogLines(message, 7, message.size());
  EXPECT_EQ(count(log, "[InlineFlag=0 MimeEncoding=2 FileHandle=7]\r\n"), 1);
  EXPECT_EQ(count(log, "[...decode to file...]\r\n"), 1);
  EXPECT_EQ(count(log, "[InlineFlag=0 MimeEncoding=0 FileHandle=0]\r\n"), 1);
  // A part file given up mid-body: the new state shows once more.
  log = LogLines(message, 7, 8);
  EXPECT_EQ(count(log, "[InlineFlag=0 MimeEncoding=2 FileHandle=7]\r\n"), 1);
  EXPECT_EQ(count(log, "[InlineFlag=0 MimeEncoding=2 FileHandle=0]\r\n"), 1);
  EXPECT_EQ(count(log, "[...decode to file...]\r\n"), 1);
}

}  // namespace
