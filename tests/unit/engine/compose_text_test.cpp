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
      {"a line of exactly 78 leaves an empty one", X(78) + "\ny", {X(78), "", "y"}},
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
      {"trailing blanks stay", "end  \n", {"end  "}},
      {"dot-stuffing", ".start\n", {"..start"}},
      {"soft break one before the limit", X(100), {X(77) + "=", X(23)}},
      {"a period goes onto the line", X(77) + ".yy", {X(77) + ".=", "yy"}},
      {"line end at the break column", X(77) + "\n", {X(77) + "=", ""}},
      {"escape at the limit", X(76) + "\xe9z", {X(76) + "=E9=", "z"}},
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
      {100000, 0, X(1000), {X(995), X(5)}}, {100000, 1, X(1000), {X(994) + "=", X(6)}},
      {-5, 1, "ab", {"a=", "b="}},
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


// Seeded texts of every awkward byte (CR, LF, NUL, '.', '=', blanks, 8-bit)
// in lines short and long, built under each body type and line limit from
// memory and from a file (whose reads are logged): the lines and the log
// must not change by a byte whatever the way the builders walk the text, so
// each combination is pinned by a digest of everything it produced.
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
    uint64_t memory;
    uint64_t file;
  } cases[] = {
      {0, 78, 14872245338530143156u, 18194033387137627435u},
      {0, 20, 9684446581108101498u, 7484207204537928439u},
      {0, 1013, 13628519763431208294u, 703317631750778707u},
      {1, 78, 15131929854246176474u, 8520466803739631572u},
      {1, 7, 13583671126961923103u, 8351974103366314435u},
      {1, 995, 1631212633293781702u, 13665552269758144823u},
      {2, 78, 11491724636783876230u, 12322124746768228498u},
      {2, 3, 11491724636783876230u, 16218086400424368294u},
      {4, 40, 9665071767841897700u, 2747194439836976315u},
  };
  for (const Case& t : cases) {
    c_->settings.LineLimit = t.lineLength;
    c_->settings.WrapColumn = t.lineLength - 18;
    uint64_t memory = 14695981039346656037u;
    uint64_t file = memory;
    for (uint32_t seed = 1; seed <= 24; ++seed) {
      const std::string text = RandomText(seed);
      for (const std::string& line : Build(text, t.bodyType)) memory = Fnv(memory, line + "|");
      file = Fnv(file, std::to_string(FromFile(text, t.bodyType)));
    }
    EXPECT_EQ(memory, t.memory) << "body type " << t.bodyType << " line length " << t.lineLength;
    EXPECT_EQ(file, t.file) << "body type " << t.bodyType << " line length " << t.lineLength;
  }
}

}  // namespace
