// What the transcript files cannot see from outside: the channel's reply
// area, texts and kind after a raw command and QUIT, the POP3 reader's
// deadline, abort, the socket trace and the exact log. The behaviours on the
// wire are transcripts in tests/transcripts/control.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "api/blocks.h"
#include "kov32.h"
#include "net/connections.h"
#include "support/driver_fixture.h"

namespace {

using Session = DriverTest;

TEST_P(Session, ConnectCommandAndQuit) {
  const std::string log = OpenLog(1);
  LoopbackServer server;
  server.ReadLine();
  Reply(server, "250-first line\r\n250 last line\r\n");
  server.ReadLine();
  Reply(server, "221 bye\r\n");
  server.Close();
  ASSERT_EQ(Connect(1, server), 0);
  if (Manual()) {
    EXPECT_EQ(states, (std::vector<int>{104, 105, 106, 0}));
  }

  EXPECT_EQ(Finish(1, kovCommand(1, "NOOP")), 0);
  if (Manual()) {
    EXPECT_EQ(states, (std::vector<int>{299, 0}));
  }
  EXPECT_EQ(Channel(1).link.ReplyCode, 250);
  EXPECT_STREQ(Channel(1).link.ReplyBuffer, "250-first line\r\n250 last line\r\n");
  EXPECT_STREQ(Channel(1).link.LastReplyLine, "250 last line\r\n");

  Channel(1).smtp.Subject = AllocAndCopy(1, kSubjectSlot, "subject");
  EXPECT_EQ(kovStringParam(1, KOV_ALT_TEXT, "alternative"), 11);
  EXPECT_EQ(Finish(1, kovClose(1)), 0);
  if (Manual()) {
    EXPECT_EQ(states, (std::vector<int>{259, 0}));
  }
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "NOOP\r\nQUIT\r\n");
  EXPECT_EQ(Channel(1).link.HoldsSlot, 0);
  // Automatic close frees the channel's texts and forgets the connection kind.
  EXPECT_EQ(IsAllocated(14), Manual() ? 1 : 0);
  EXPECT_EQ(Channel(1).link.ChannelKind, Manual() ? 'S' : 0);
  // Nothing refers to a freed text afterwards: the alternative text can be set anew.
  EXPECT_EQ(Channel(1).smtp.Subject == nullptr, !Manual());
  EXPECT_EQ(kovStringParam(1, KOV_ALT_TEXT, "again"), Manual() ? 0 : 5);

  const std::string text = LogOf(log);
  for (const char* line : {"<104:", "<105:", "<106:", "<298:", "<299:", "<258:", "<259:", "Server = '127.0.0.1'\r\n",
                           "ServerIP = 127.0.0.1\r\n", "*** kovCommand\r\n", "*** kovClose\r\n", "S: NOOP\r\n", "R: 2",
                           "S: QUIT\r\n", "Closing socket\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  // A state that repeats while it waits is logged once.
  EXPECT_EQ(text.find("<299:"), text.rfind("<299:")) << text;
}

TEST_P(Session, Pop3Status) {
  struct Case {
    const char* reply;
    int result;
    int code;
  } cases[] = {{"+OK 2 320\r\n", 0, 100}, {"-ERR no such message\r\n", -63, 500}};
  for (const Case& t : cases) {
    SCOPED_TRACE(t.reply);
    LoopbackServer server;
    server.ReadLine();
    Reply(server, t.reply);
    ASSERT_EQ(Connect(3, server, 'P'), 0);
    EXPECT_EQ(Finish(3, kovCommand(3, "STAT")), t.result);
    EXPECT_EQ(Channel(3).link.ReplyCode, t.code);
    EXPECT_EQ(Channel(3).link.Deadline, 0u);
    kovAbort(3);
    if (Manual()) kovIntegerParam(3, KOV_AUTO_CALL, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Session,
                         ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual, DriveMode::kSlowServer),
                         DriveModeName);

using Control = DriverTest;

TEST_P(Control, CommandNeedsAConnectionKind) {
  EXPECT_EQ(kovCommand(1, "NOOP"), -56);
  EXPECT_EQ(kovCommand(1, nullptr), -47);
  EXPECT_EQ(kovCommand(9, "NOOP"), -73);
}

TEST_P(Control, CloseWithoutAConnectionSendsNothing) {
  const std::string log = OpenLog(2);
  EXPECT_EQ(kovClose(2), 0);
  EXPECT_EQ(LogOf(log), "*** kovClose\r\n");
}

TEST_P(Control, AbortClosesAndRestoresAutomaticDriving) {
  LoopbackServer server;
  ASSERT_EQ(Connect(1, server), 0);
  EXPECT_EQ(Channel(1).link.HoldsSlot, 1);
  EXPECT_EQ(kovAbort(1), 1);
  EXPECT_EQ(Channel(1).link.AutoCall, 1u);
  EXPECT_EQ(Channel(1).link.HoldsSlot, 0);
  EXPECT_EQ(Channel(1).link.NextState, 0);
  EXPECT_EQ(kovAbort(1), 1);
}

TEST_P(Control, TraceFollowsTheChannel) {
  LoopbackServer first, second;
  first.ReadLine();
  Reply(first, "250 one\r\n");
  second.ReadLine();
  Reply(second, "250 two\r\n");
  ASSERT_EQ(Connect(0, first), 0);     // takes slot 0
  const std::string log = OpenLog(1);  // channel 1 has no connection yet
  ASSERT_EQ(Connect(1, second), 0);    // takes slot 1
  EXPECT_EQ(Channel(1).link.SlotNumber, 1u);
  EXPECT_EQ(Finish(0, kovCommand(0, "NOOP ZERO")), 0);
  EXPECT_EQ(Finish(1, kovCommand(1, "NOOP ONE")), 0);
  kovAbort(1);
  EXPECT_EQ(WexlSlot(1)->TraceHandle, 0);
  const std::string text = LogOf(log);
  EXPECT_NE(text.find("S: NOOP ONE\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("ZERO"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Modes, Control, ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual), DriveModeName);

}  // namespace

namespace {

// The log with what changes from run to run (ticks, socket handle, port,
// how often a state waited)
// replaced by fixed marks.
std::string Normalized(const std::string& log) {
  std::string text = std::regex_replace(log, std::regex("<( *[0-9]+):-?[0-9]+>"), "<$1:T>");
  text = std::regex_replace(text, std::regex("ERROR\\(-?[0-9]+\\)"), "ERROR(T)");
  text = std::regex_replace(text, std::regex("Socket=[0-9]+"), "Socket=S");
  // Whether the reply state ran once before the reply came depends on timing.
  text = std::regex_replace(text, std::regex("PrevState=29[89] "), "PrevState=29x ");
  return std::regex_replace(text, std::regex("RemotePort=[0-9]+"), "RemotePort=P");
}

using ExactLog = DriverTest;

TEST_P(ExactLog, ConnectCommandAndFailure) {
  const std::string log = OpenLog(2);
  LoopbackServer server;
  server.ReadLine();
  server.Send("250 fine\r\n");
  server.ReadLine();
  server.Send("500 what?\r\n");
  ASSERT_EQ(Connect(2, server), 0);
  ASSERT_EQ(kovCommand(2, "NOOP"), 0);
  ASSERT_EQ(kovCommand(2, "HUH"), -49);
  EXPECT_EQ(Normalized(LogOf(log)),
            "<101:T>\r\n"
            "<104:T>\r\n"
            "Server = '127.0.0.1'\r\n"
            "ServerIP = 127.0.0.1\r\n"
            "<105:T>\r\n"
            "Socket=S, RemoteIP=7f000001, RemotePort=P\r\n"
            "<106:T>\r\n"
            "*** kovCommand\r\n"
            "<298:T>\r\n"
            "S: NOOP\r\n"
            "<299:T>\r\n"
            "R: 250 fine\r\n"
            "*** kovCommand\r\n"
            "<298:T>\r\n"
            "S: HUH\r\n"
            "<299:T>\r\n"
            "R: 500 what?\r\n"
            "ERROR(T): SockCode=0 KovCode=-49 PrevState=29x ThisState=299 NextState=299\r\n"
            "SMTP returned error. 500 what?\r\n"
            "Closing socket\r\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, ExactLog, ::testing::Values(DriveMode::kAutomatic), DriveModeName);

}  // namespace
