// Every transcript file under tests/transcripts, played automatically, by hand
// and against a server writing one byte at a time; and the reading of the
// format itself.
#include <gtest/gtest.h>

#include <string>

#include "kov32.h"
#include "support/transcript.h"

namespace {

TEST_P(TranscriptTest, Plays) { Play(); }

INSTANTIATE_TEST_SUITE_P(Files, TranscriptTest, ::testing::ValuesIn(FindTranscripts()), TranscriptCaseName);

TEST(TranscriptFormat, MalformedFilesNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"# why\nfrobnicate 1\n", "line 2: unknown directive 'frobnicate'"},
      {"call kovFly\n", "line 1: unknown verb 'kovFly'"},
      {"call kovCommand\n", "line 1: kovCommand takes 1 arguments"},
      {"call kovCommand \"NOOP\n", "line 1: a quoted text has no closing quote"},
      {"\n\nresult 0\n", "line 3: result checks a call, but none came before"},
      {"call kovClose\nresult zero\n", "line 2: 'zero' is not a number from -2147483648 to 2147483647"},
      {"call kovClose\nresult 1 auto 0\n", "line 2: result takes N or 'N manual M'"},
      {"S: 250 ok\\q\n", "line 1: unknown escape \\q"},
      {"S: 250 ok\\\n", "line 1: a backslash ends the line"},
      {"C: \\x4\n", "line 1: \\x needs two hexadecimal digits"},
      {"channel 4\n", "line 1: '4' is not a number from 0 to 3"},
      {"port 0\n", "line 1: '0' is not a number from 1 to 65535"},
      {"int KOV_NO_SUCH 1\n", "line 1: 'KOV_NO_SUCH' is not a number from 1 to 100"},
      {"int KOV_TIMEOUT\n", "line 1: int needs a parameter and a value"},
      {"pause -1\n", "line 1: '-1' is not a number from 0 to 10000"},
      {"close now\n", "line 1: close takes nothing"},
      {"C: a\nhangup 1\n", "line 2: hangup takes nothing"},
      {"server\n", "line 1: server takes a name and an optional address"},
      {"server a ::1 x\n", "line 1: server takes a name and an optional address"},
      {"stat 3\n", "line 1: expected 2 to 2 numbers"},
      {"log-has \n", "line 1: log-has needs a text"},
      {"S* 5\n", "line 1: S* takes a count and a text"},
      {"S* x TEXT\n", "line 1: 'x' is not a number from 1 to 100000000"},
      {"file-is\n", "line 1: file-is needs a file name"},
      {"file-absent a b\n", "line 1: file-absent takes only a name"},
      {"file-size a -1\n", "line 1: '-1' is not a number from 0 to 2147483647"},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.text);
    EXPECT_EQ(ParseTranscript(t.text).error, t.error);
  }
}

TEST(TranscriptFormat, ScriptsKeepExactBytesPerServer) {
  Transcript t = ParseTranscript(
      "C: EHLO x\n"
      "S: 250-a\\tb\n"
      "S+ 354 \\x41\\0\\\\\\\"\n"
      "server two\n"
      "C: QUIT\\r\n"
      "reset\n"
      "hangup\n"
      "server 1\r\n"
      "pause 5\n");
  ASSERT_EQ(t.error, "");
  ASSERT_EQ(t.servers.size(), 2u);
  EXPECT_EQ(t.servers[0].expected, "EHLO x\r\n");
  EXPECT_EQ(t.servers[1].expected, "QUIT\r\r\n");
  ASSERT_EQ(t.servers[0].steps.size(), 4u);
  EXPECT_EQ(t.servers[0].steps[1].bytes, "250-a\tb\r\n");
  EXPECT_EQ(t.servers[0].steps[2].bytes, std::string("354 A\0\\\"", 8));
  EXPECT_EQ(t.servers[0].steps[3].ms, 5);
  EXPECT_EQ(t.servers[1].steps[1].kind, ScriptStep::kReset);
  EXPECT_FALSE(t.servers[0].hangup);
  EXPECT_TRUE(t.servers[1].hangup);
  // The server switches are actions too: later calls connect to that server.
  ASSERT_EQ(t.actions.size(), 2u);
  EXPECT_EQ(t.actions[0].numbers, std::vector<long>{1});
  EXPECT_EQ(t.actions[1].line, 8);
}

TEST(TranscriptFormat, CallsAndChecks) {
  Transcript t = ParseTranscript(
      "string KOV_USER al ice\\x21\n"
      "int 29 1\n"
      "call kovSmtpConnect \"127.0.0.1\" \"Joe \\\"J\\\" <joe@x>\" null\n"
      "result 1 manual 0\n"
      "states 101 0\n");
  ASSERT_EQ(t.error, "");
  ASSERT_EQ(t.actions.size(), 5u);
  EXPECT_EQ(t.actions[0].numbers, std::vector<long>{KOV_USER});
  EXPECT_EQ(t.actions[0].text, "al ice!");
  EXPECT_EQ(t.actions[1].numbers, (std::vector<long>{29, 1}));
  const Action& call = t.actions[2];
  EXPECT_EQ(call.verb, FindVerb("kovSmtpConnect"));
  ASSERT_EQ(call.args.size(), 3u);
  EXPECT_EQ(call.args[1].text, "Joe \"J\" <joe@x>");
  EXPECT_FALSE(call.args[1].null);
  EXPECT_TRUE(call.args[2].null);
  EXPECT_EQ(t.actions[3].numbers, (std::vector<long>{1, 0}));
  EXPECT_EQ(t.actions[4].numbers, (std::vector<long>{101, 0}));
}

TEST(TranscriptFormat, BulkSendsAndFileChecks) {
  Transcript t = ParseTranscript(
      "S* 3 x\ty\n"
      "S+* 2 9\n"
      "call kovGetEmailLines 1 0 buffer 128\n"
      "debug 40 a\\r\n"
      "file-size big.eml 20000085\n"
      "file-ends big.eml .\\r\\n\n"
      "file-is empty.eml\n");
  ASSERT_EQ(t.error, "");
  ASSERT_EQ(t.servers[0].steps.size(), 2u);
  EXPECT_EQ(t.servers[0].steps[0].kind, ScriptStep::kSendRepeated);
  EXPECT_EQ(t.servers[0].steps[0].bytes, "x\ty\r\n");
  EXPECT_EQ(t.servers[0].steps[0].times, 3u);
  EXPECT_EQ(t.servers[0].steps[1].kind, ScriptStep::kSendRepeated);
  EXPECT_EQ(t.servers[0].steps[1].bytes, "9");  // no line end
  EXPECT_EQ(t.servers[0].steps[1].times, 2u);
  ASSERT_EQ(t.actions.size(), 5u);
  EXPECT_EQ(t.actions[1].numbers, std::vector<long>{40});
  EXPECT_EQ(t.actions[1].text, "a\r");
  EXPECT_EQ(t.actions[2].args[0].text, "big.eml");
  EXPECT_EQ(t.actions[2].numbers, std::vector<long>{20000085});
  EXPECT_EQ(t.actions[3].text, ".\r\n");
  EXPECT_EQ(t.actions[4].text, "");
}

}  // namespace
