// kovmail's mailbox commands against a scripted POP3 server: what they print,
// the commands the server receives, and refusals that must not pass as
// success.
#include <gtest/gtest.h>

#include <utility>

#include "run_kovmail.h"
#include "support/loopback_server.h"

namespace {

std::vector<std::string> Session(const std::vector<std::string>& middle) { return Pop3Script(middle); }

std::vector<std::string> Args(const LoopbackServer& server, std::vector<std::string> command) {
  return Pop3Args(server, std::move(command));
}

TEST(KovmailMailboxTest, CommandsPrintWhatTheServerSaid) {
  struct Case {
    std::vector<std::string> command;
    std::vector<std::string> script;
    const char* out;
  } cases[] = {
      {{"count"}, Session({"C: STAT", "S: +OK 2 320"}), "2\n"},
      {{"list"},
       Session({"C: STAT", "S: +OK 2 320", "C: LIST 1", "S: +OK 1 120", "C: LIST 2", "S: +OK 2 200"}),
       "1 120\n2 200\n"},
      {{"uidl"},
       Session({"C: STAT", "S: +OK 2 320", "C: UIDL", "S: +OK", "S: 1 whqtswO00WBw418f9t5JxYwZ", "S: 2 QhdPYR:00W",
                "S: ."}),
       "1 whqtswO00WBw418f9t5JxYwZ\n2 QhdPYR:00W\n"},
      {{"top", "1", "2"},
       Session({"C: LIST 1", "S: +OK 1 100", "C: TOP 1 2", "S: +OK", "S: Subject: hi", "S: ", "S: ..dot", "S: line 2",
                "S: ."}),
       "Subject: hi\n\n.dot\nline 2\n"},
      {{"delete", "1"}, Session({"C: DELE 1", "S: +OK deleted"}), ""},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    std::string expected = PlayScript(server, c.script);
    ToolRun run = RunKovmail(Args(server, c.command), "pw");
    EXPECT_EQ(run.exitCode, 0) << c.command[0] << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << c.command[0];
    EXPECT_TRUE(server.WaitScript()) << c.command[0];
    EXPECT_EQ(server.Received(), expected) << c.command[0];
  }
}

TEST(KovmailMailboxTest, ApopLogsInWithTheDigestOfTimestampAndPassword) {
  LoopbackServer server;
  std::string expected = PlayScript(server, {"S: +OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>",
                                             "C: APOP u c4c9334bac560ecc979e58001b3e22fb", "S: +OK", "C: STAT",
                                             "S: +OK 0 0", "C: QUIT", "S: +OK bye"});
  ToolRun run = RunKovmail(Args(server, {"count", "--apop"}), "tanstaaf");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "0\n");
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), expected);
}

// Every refusal names the server, the phase and the server's line, and ends
// with the exit status of its kind.
TEST(KovmailMailboxTest, RefusalsNameThePhaseAndTheServersLine) {
  struct Case {
    std::vector<std::string> command;
    std::vector<std::string> script;
    const char* err;  // after "kovmail: 127.0.0.1:PORT: "
    int exitCode;
  } cases[] = {
      {{"delete", "9"}, Session({"C: DELE 9", "S: -ERR no such message"}), "delete 9: -ERR no such message\n", 69},
      {{"count"}, Session({"C: STAT", "S: -ERR mailbox busy"}), "count: -ERR mailbox busy\n", 69},
      {{"count"},
       Session({"C: STAT", "S: -ERR [IN-USE] mailbox locked"}),
       "count: -ERR [IN-USE] mailbox locked\n",
       75},
      // A failed download ends the connection: no QUIT.
      {{"fetch", "9"},
       {"S: +OK ready", "C: USER u", "S: +OK", "C: PASS pw", "S: +OK", "C: RETR 9", "S: -ERR no such message"},
       "retrieve 9: -ERR no such message\n",
       69},
      {{"uidl"},
       Session({"C: STAT", "S: +OK 1 5", "C: UIDL", "S: -ERR not offered"}),
       "uidl: -ERR not offered\n",
       69},
      {{"count"},
       {"S: +OK ready", "C: USER u", "S: +OK", "C: PASS pw", "S: -ERR wrong password"},
       "login: -ERR wrong password\n",
       77},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    std::string expected = PlayScript(server, c.script);
    ToolRun run = RunKovmail(Args(server, c.command), "pw");
    EXPECT_EQ(run.exitCode, c.exitCode) << c.err;
    EXPECT_EQ(run.err, "kovmail: 127.0.0.1:" + std::to_string(server.Port()) + ": " + c.err);
    EXPECT_EQ(run.out, "") << c.err;
    EXPECT_TRUE(server.WaitScript()) << c.err;
    EXPECT_EQ(server.Received(), expected) << c.err;
  }
}

}  // namespace
