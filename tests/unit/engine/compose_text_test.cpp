// The message text reader and line builder over texts in memory and files,
// the alternative text's line cutter and the main text's label.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "api/errors.h"
#include "engine/compose/compose.h"
#include "engine/compose/text_lines.h"
#include "engine/frame/step_table.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

std::string X(int n, char ch = 'x') { return std::string(static_cast<size_t>(n), ch); }

class ComposeText : public ::testing::Test {
 protected:
  // A record with the settings' defaults, as an operation would take them.
  void SetUp() override { c_ = std::make_unique<ChannelContext>(); }

  // Every line BuildTextLine makes of `text` under the body type.
  Lines Build(const std::string& text, uint32_t bodyType) {
    text_ = text;
    ChannelContext& c = *c_;
    c.smtp.BodyType = bodyType;
    c.smtp.TextInMemory = 1;
    c.smtp.MessageText = &text_[0];
    c.smtp.PushbackChar = 0;
    GetMsgChar(c, true);
    return Collect();
  }

  Lines Collect() {
    Lines lines;
    char line[kMaxLineOctets + 1];
    for (int n; (n = BuildTextLine(*c_, line, sizeof line)) != -1;) {
      EXPECT_GE(n, 0);
      if (n < 0 || lines.size() > 10000) break;
      EXPECT_EQ(static_cast<size_t>(n), strlen(line));
      lines.push_back(line);
    }
    return lines;
  }

  std::unique_ptr<ChannelContext> c_;
  std::string text_;
};

struct Case {
  const char* why;
  std::string text;
  Lines lines;
};

TEST_F(ComposeText, PlainLinesWrapAndReplaceWhatIsNotPrintable) {
  const Case cases[] = {
      {"empty text", "", {}},
      {"CR dropped, last line without LF", "Hello\r\nWorld", {"Hello", "World"}},
      {"empty lines kept", "a\n\nb\n", {"a", "", "b"}},
      {"lone CR at the end", "\r", {""}},
      {"dot-stuffing", ".dot\n..two\n", {"..dot", "...two"}},
      {"control and 8-bit bytes", "t\tb\x01\x7f\xe9.", {"t~b~~~."}},
      {"ends after a space from column 61", X(60, 'a') + " bb cc", {X(60, 'a') + " ", "bb cc"}},
      {"hard break at 78", X(100), {X(78), X(22)}},
      {"a line of exactly 78 takes its line end along", X(78) + "\r\ny", {X(78), "y"}},
      {"so does one wrapped right before it", X(60, 'a') + " \nb", {X(60, 'a') + " ", "b"}},
      {"an empty line after it stays", X(78) + "\n\ny", {X(78), "", "y"}},
  };
  for (const Case& t : cases) EXPECT_EQ(Build(t.text, 0), t.lines) << t.why;
}

TEST_F(ComposeText, EightBitTextKeepsItsBytes) {
  c_->settings.Allow8Bit = 1;
  EXPECT_EQ(Build("\xe9\tz\n", 0), (Lines{"\xe9\tz"}));
}

TEST_F(ComposeText, QuotedPrintableEncodesAndBreaksSoftly) {
  const Case cases[] = {
      {"8-bit and '='", "caf\xe9 = ok\n", {"caf=E9 =3D ok"}},
      {"tab", "a\tb", {"a=09b"}},
      {"a trailing blank is escaped", "end  \r\nx \ty \t\n", {"end =20", "x =09y =09"}},
      {"so is one at the end of the text", "end ", {"end=20"}},
      {"dot-stuffing", ".start\n", {"..start"}},
      {"soft break after 75", X(100), {X(75) + "=", X(25)}},
      {"a period may begin the next line", X(75) + ".yy", {X(75) + "=", "..yy"}},
      {"exactly 76 before the line end, no empty line", X(76) + "\r\nz", {X(76), "z"}},
      {"77 before the line end", X(77) + "\n", {X(75) + "=", "xx"}},
      {"an escape is never split", X(73) + "\xe9z", {X(73) + "=", "=E9z"}},
      {"a blank at the break stays plain", X(74) + " yz", {X(74) + " =", "yz"}},
      {"a blank escaped at the width", X(73) + " \n", {X(73) + "=20"}},
  };
  for (const Case& t : cases) EXPECT_EQ(Build(t.text, 1), t.lines) << t.why;
}

std::string Words(const char* word, int count) {
  std::string out;
  for (int n = 0; n < count; ++n) out += word;
  return out;
}

TEST_F(ComposeText, HtmlLinesBreakOnlyPast998) {
  const std::string words = Words("abcdefghi ", 150);
  const Case cases[] = {
      {"long line kept whole", X(997) + "\nz", {X(997), "z"}},
      {"exactly 998, no empty line after", X(998) + "\ny", {X(998), "y"}},
      {"after the last blank", words, {words.substr(0, 990), words.substr(990)}},
      {"hard without a blank", X(2000), {X(998), X(998), X(4)}},
      {"dot-stuffing counts", "." + X(1199), {".." + X(996), X(203)}},
      {"blank kept across a refill",
       X(997, 'y') + "\n" + X(900) + " " + X(500) + "\n",
       {X(997, 'y'), X(900) + " ", X(500)}},
      {"blank too far back before a refill", "a " + X(1500, '\r') + X(1200), {"a " + X(996), X(204)}},
  };
  for (const Case& t : cases) EXPECT_EQ(Build(t.text, 2), t.lines) << t.why;
}

TEST_F(ComposeText, LineLimitIsClamped) {
  struct Limit {
    int32_t limit;
    uint32_t bodyType;
    std::string text;
    Lines lines;
  } cases[] = {
      {-5, 0, "abc", {"a", "b", "c"}},      {0, 0, "ab", {"a", "b"}},
      {100000, 0, X(1000), {X(995), X(5)}}, {100000, 1, X(100), {X(75) + "=", X(25)}},
      {-5, 1, "abcd\xe9", {"abc=", "d=E9"}}, {40, 1, X(50), {X(39) + "=", X(11)}},
  };
  for (const Limit& t : cases) {
    c_->settings.LineLimit = t.limit;
    EXPECT_EQ(Build(t.text, t.bodyType), t.lines) << t.limit << " " << t.bodyType;
  }
}

TEST_F(ComposeText, ReaderCountsAndEndsForGood) {
  ChannelContext& c = *c_;
  text_ = X(5000, 'q');
  c.smtp.TextInMemory = 1;
  c.smtp.MessageText = &text_[0];
  GetMsgChar(c, true);
  int count = 0;
  while (GetMsgChar(c, false) == 'q') ++count;
  EXPECT_EQ(count, 5000);
  EXPECT_EQ(c.diag.TextBytesIn, 5000);
  EXPECT_EQ(GetMsgChar(c, false), 0);
  EXPECT_EQ(GetMsgChar(c, true), 0);
  EXPECT_EQ(c.smtp.MsgBufEof, 0);
}

class ComposeFile : public ComposeText {
 protected:
  int Open(const std::string& bytes) {
    const std::string path = dir_.File("text.txt");
    int h = platform::FileCreate(path.c_str(), platform::LinkRule::kFollow);
    EXPECT_EQ(platform::FileWrite(h, bytes.data(), static_cast<uint32_t>(bytes.size())),
              static_cast<int>(bytes.size()));
    platform::FileClose(h);
    h = platform::FileOpenRead(path.c_str());
    c_->files.FileHandle = h;
    c_->smtp.TextInMemory = 0;
    GetMsgChar(*c_, true);
    return h;
  }
  TempDir dir_;
};

TEST_F(ComposeFile, ANulByteEndsTheText) {
  const int h = Open(std::string("ab\ncd\0ef\ngh\n", 12));
  c_->smtp.BodyType = 0;
  EXPECT_EQ(Collect(), (Lines{"ab", "cd"}));
  EXPECT_EQ(c_->diag.TextBytesIn, 12);
  platform::FileClose(h);
}

TEST_F(ComposeFile, AReadErrorFailsTheLine) {
  platform::FileClose(Open("text"));
  char line[kMaxLineOctets + 1];
  EXPECT_EQ(BuildTextLine(*c_, line, sizeof line), kCannotOpenFile);
  EXPECT_EQ(BuildTextLine(*c_, line, kMaxLineOctets), kBufferTooSmall);
}

TEST_F(ComposeText, TextOpenStartsAfresh) {
  ChannelContext& c = *c_;
  for (const char* message : {"@body.txt", "hello"}) {
    text_ = message;
    c.smtp.MessageText = &text_[0];
    c.smtp.PushbackChar = 'x';
    c.smtp.MsgBufPos = 3;
    c.smtp.MsgBufEnd = 9;
    c.smtp.MsgBufEof = 1;
    ASSERT_EQ(FindStep(TextOpen)->step(c, 0, 0), kStepDone);
    EXPECT_EQ(c.link.NextState, message[0] == '@' ? TextFromFile : TextFromMemory);
    EXPECT_EQ(c.smtp.PushbackChar, 0);
    EXPECT_EQ(c.smtp.MsgBufEnd - c.smtp.MsgBufPos + c.smtp.MsgBufEof, 0);
  }
}

// Seeded texts of every awkward byte (CR, LF, NUL, '.', '=', blanks, 8-bit)
// in lines short and long, built under each body type, line limit and 8-bit
// setting from memory and from a file (whose reads are logged): the lines and
// the log must not change by a byte whatever way the builders walk the text,
// so each combination is pinned by a digest of everything it produced.
class ComposeDigest : public ComposeFile {
 protected:
  static std::string RandomText(uint32_t seed) {
    static const char kBytes[] = "aaaaaaaabbbb    \t\r\n\n..==\xe9\x01~";
    std::string text;
    const size_t length = 200 + seed * 2654435761u % 7000;
    while (text.size() < length) {
      seed = seed * 1103515245u + 12345u;
      const uint32_t pick = seed >> 16;
      if (pick % 97 == 0) {
        text += X(static_cast<int>(pick % 1200), pick % 2 ? 'y' : ' ');  // a long run
      } else {
        text += kBytes[pick % (sizeof kBytes - 1)];
      }
    }
    if (seed % 5 == 0) text[text.size() / 2] = '\0';
    return text;
  }

  static uint64_t Fnv(uint64_t h, const std::string& bytes) {
    for (unsigned char ch : bytes) h = (h ^ ch) * 1099511628211u;
    return h;
  }

  // The digest of every line and the log of one text built from a file.
  uint64_t FromFile(const std::string& text, uint32_t bodyType) {
    const std::string log = dir_.File("digest.log");
    c_->diag.LogHandle = platform::FileCreate(log.c_str(), platform::LinkRule::kFollow);
    const int h = Open(text);
    c_->smtp.BodyType = bodyType;
    c_->smtp.PushbackChar = 0;
    uint64_t digest = 14695981039346656037u;
    for (const std::string& line : Collect()) digest = Fnv(digest, line + "|");
    platform::FileClose(h);
    platform::FileClose(c_->diag.LogHandle);
    c_->diag.LogHandle = 0;
    return Fnv(digest, ReadAll(log));
  }

  static std::string ReadAll(const std::string& path) {
    std::string bytes;
    const int h = platform::FileOpenRead(path.c_str());
    char chunk[4096];
    for (int n; (n = platform::FileRead(h, chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<size_t>(n));
    platform::FileClose(h);
    return bytes;
  }
};

TEST_F(ComposeDigest, EveryBodyTypeAndLimitBuildsTheSameBytes) {
  struct Case {
    uint32_t bodyType;
    int lineLength;
    uint8_t allow8Bit;
    const char* charset;
    uint64_t memory;
    uint64_t file;
  } cases[] = {
      {0, 78, 0, "", 10572866207302800338u, 15754789473066077085u},
      {0, 20, 1, "", 17422339512573386451u, 16551008578828354565u},
      {0, 1013, 0, "", 9925756554189852698u, 16466809418830657896u},
      {1, 78, 0, "", 14522632422591658964u, 13130313014592023548u},
      {1, 7, 0, "", 615198740572897643u, 9469858136948505235u},
      {1, 995, 1, "", 14522632422591658964u, 13539692776230675324u},
      {2, 78, 0, "", 7997446808316319982u, 10307601510984036023u},
      {2, 3, 1, "", 5867704601022664759u, 17047781636582566817u},
      {4, 40, 0, "", 12406703546940913157u, 10645226798153377583u},
      {0, 78, 0, "UTF-8", 14522632422591658964u, 13130313014592023548u},
      {2, 60, 1, "UTF-8", 13127859818863155078u, 942555087249876402u},
  };
  for (const Case& t : cases) {
    c_->settings.LineLimit = t.lineLength;
    c_->settings.WrapColumn = t.lineLength - 18;
    c_->settings.Allow8Bit = t.allow8Bit;
    strcpy(c_->settings.Charset, t.charset);
    uint64_t memory = 14695981039346656037u;
    uint64_t file = memory;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      const std::string text = RandomText(seed);
      for (const std::string& line : Build(text, t.bodyType)) memory = Fnv(memory, line + "|");
      file = Fnv(file, std::to_string(FromFile(text, t.bodyType)));
    }
    EXPECT_EQ(memory, t.memory) << "body type " << t.bodyType << " line length " << t.lineLength;
    EXPECT_EQ(file, t.file) << "body type " << t.bodyType << " line length " << t.lineLength;
  }
}

TEST(AltTextLines, CutAtLineEndsAndBeforeTheLimit) {
  struct Cut {
    const char* why;
    std::string text;
    int size;
    Lines lines;
  } cases[] = {
      {"one line", "plain", 2050, {"plain"}},
      {"CR LF and LF", "one\r\ntwo\n", 2050, {"one", "two"}},
      {"empty lines kept", "a\n\nb", 2050, {"a", "", "b"}},
      {"dot-stuffing", ".\n.x\n", 2050, {"..", "..x"}},
      {"bytes unchanged", "\xe9\t~=", 2050, {"\xe9\t~="}},
      {"after the last blank", Words("word ", 300), 2050, {Words("word ", 199), Words("word ", 101)}},
      {"hard at 998", X(1000), 2050, {X(998), "xx"}},
      {"bounded by the buffer", "abcdefgh", 6, {"abcd", "efgh"}},
      {"dot-stuffed within the buffer", ".abcdef", 6, {"..ab", "cdef"}},
  };
  for (const Cut& t : cases) {
    Lines lines;
    std::vector<char> line(static_cast<size_t>(t.size));
    int32_t pos = 0;
    for (int n; lines.size() < 100 && (n = NextTextLine(t.text.c_str(), pos, line.data(), t.size)) >= 0;) {
      EXPECT_EQ(static_cast<size_t>(n), strlen(line.data()));
      lines.push_back(line.data());
    }
    EXPECT_EQ(lines, t.lines) << t.why;
  }
  int32_t pos = 0;
  char line[8];
  EXPECT_EQ(NextTextLine(nullptr, pos, line, 8), -1);
  EXPECT_EQ(NextTextLine("ab", pos, line, 2), -1);
}

TEST(MainTextLabel, NamesTheEncodingTheLinesGet) {
  struct Label {
    uint32_t bodyType;
    const char* userType;
    const char* line;
    bool encodingFollows;
  } cases[] = {
      {0, "", "Content-Type: text/plain", false},
      {1, "", "Content-Type: text/plain", true},
      {2, "", "Content-Type: text/html", false},
      {3, "", "Content-Type: text/enriched", true},
      {4, "", "Content-Type: text/plain; charset=iso-8859-1", true},
      {9, "Content-Type: text/x-own", "Content-Type: text/x-own", true},
      {9, "", "Content-Type: text/plain", true},
      {9, nullptr, "Content-Type: text/plain", true},
      {5, "Content-Type: text/x-own", "Content-Type: text/plain", true},
      {15, "", "Content-Type: text/plain", true},
  };
  for (const Label& t : cases) {
    const TextPartLabel label = MainTextLabel(t.bodyType, t.userType);
    EXPECT_STREQ(label.contentType, t.line) << t.bodyType;
    EXPECT_EQ(label.encodingFollows, t.encodingFollows) << t.bodyType;
  }
}


}  // namespace

// A finished message's lines: CRs dropped wherever they stand, a NUL byte
// ends the text, a doubled leading dot, lines that span refills of the
// read-ahead buffer, and the 998-octet limit counted without CRs.
TEST_F(ComposeFile, RawLinesKeepTheTextAsItIs) {
  using namespace std::string_literals;
  const Case cases[] = {
      {"CR LF, lone LF, lone CR inside", "a\r\nb\nc\rd\r\n", {"a", "b", "cd"}},
      {"no line end at the end", "a\r\nlast", {"a", "last"}},
      {"NUL mid-line ends the text", "one\r\ntw\0o\r\nthree"s, {"one", "tw"}},
      {"NUL at a line's start leaves no line", "one\r\n\0two"s, {"one"}},
      {"leading dot doubled", ".\r\n..x\r\n", {"..", "...x"}},
      {"998 octets with CRs between fit", X(500) + "\r\r" + X(498) + "\r\n", {X(998)}},
      {"lines across refills", X(990) + "\r\n" + X(990, 'y') + "\r\n" + X(990), {X(990), X(990, 'y'), X(990)}},
  };
  char line[kMaxLineOctets + 2];
  for (const Case& k : cases) {
    const int h = Open(k.text);
    Lines lines;
    for (int n; lines.size() < 10 && (n = BuildRawLine(*c_, line, sizeof line)) != -1;) {
      ASSERT_GE(n, 0) << k.why;
      lines.push_back(line);
    }
    platform::FileClose(h);
    EXPECT_EQ(lines, k.lines) << k.why;
  }
  const int h = Open(X(500) + "\r" + X(499) + "\r\n");
  EXPECT_EQ(BuildRawLine(*c_, line, sizeof line), kRawLineTooLong);
  platform::FileClose(h);
}
