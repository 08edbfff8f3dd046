// What the send transcripts cannot see: the lists and the last recipient
// after a refusal, a refused call during a send driven by hand, kovClose in
// the middle of a message, a server that left before the call, the end of
// the data on its own, and the send's counters near their largest value.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>

#include "codec/strings.h"
#include "engine/frame/operation.h"
#include "engine/frame/settings.h"
#include "engine/frame/states.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"
#include "support/driver_fixture.h"
#include "support/temp_dir.h"

namespace {

using Envelope = DriverTest;

constexpr const char* kThree = "Ann <ann.with.a.rather.long.name@x.org>, Bob <bob@x.org>, Cy <cy@x.org>";

void SetSender(int channel) { BoundedCopy(Channel(channel).smtp.FromAddress, "Joe <joe@x.org>", 128); }

// A refused recipient ends the recipients but cuts nothing off the lists,
// and the last accepted address is kept to 32 characters.
TEST_P(Envelope, ARefusedRecipientLeavesTheListsWhole) {
  LoopbackServer server;
  for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "550 no such user\r\n", "451 not now\r\n"}) {
    server.ReadLine();
    Reply(server, reply);
  }
  ASSERT_EQ(Connect(0, server), 0);
  SetSender(0);
  kovIntegerParam(0, KOV_SKIP_RCPT_ERRORS, 1);
  EXPECT_EQ(Finish(0, kovSendEmail(0, kThree, "<dee@x.org>,", nullptr, nullptr, "text", nullptr)), -49);
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(),
            "MAIL FROM:<joe@x.org>\r\nRCPT TO:<ann.with.a.rather.long.name@x.org>\r\nRCPT TO:<bob@x.org>\r\n"
            "DATA\r\n");
  const ChannelContext& c = Channel(0);
  EXPECT_STREQ(c.smtp.ToList, kThree);
  EXPECT_STREQ(c.smtp.CcList, "<dee@x.org>,");
  EXPECT_EQ(kovStatistics(0, KOV_STAT_RCPT_COUNT), 1);
  char last[64];
  EXPECT_EQ(kovDebug(0, KOV_DEBUG_LAST_RECIPIENT, last, sizeof last), 32);
  EXPECT_STREQ(last, "<ann.with.a.rather.long.name@x.o");
}

// Drives a send by hand until its next state is `state` (or it ended); the
// last kovDriver result.
int DriveUntil(int channel, int state) {
  int rc = KOV_MORE;
  for (int n = 0; n < 10000 && rc > 0 && Channel(channel).link.NextState != state; ++n) {
    rc = kovDriver(channel);
    if (rc == KOV_MORE) platform::SleepMs(1);
  }
  return rc;
}

// A call refused for its arguments while a send is driven by hand, before it
// sent anything or in the middle of its transaction (an entry without '<',
// first or later in its list, an empty entry), leaves that send on its own
// lists, its recipient count and its connection, and it runs on to its end.
TEST_P(Envelope, ARefusedCallLeavesARunningSendAlone) {
  if (!Manual()) GTEST_SKIP() << "only a send driven by hand is still running after the call";
  LoopbackServer server;
  for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "554 no\r\n"}) {
    server.ReadLine();
    Reply(server, reply);
  }
  ASSERT_EQ(Connect(0, server), 0);
  SetSender(0);
  ASSERT_EQ(kovSendEmail(0, "<ann@x.org>", nullptr, nullptr, "Hi", "text", nullptr), 0);
  const ChannelContext& c = Channel(0);
  const char* to = c.smtp.ToList;
  const char* subject = c.smtp.Subject;
  EXPECT_EQ(kovSendEmail(0, "<bob@x.org>", "<cy@x.org", nullptr, "Other", "other", nullptr), -43);
  EXPECT_EQ(kovSendEmail(0, nullptr, nullptr, nullptr, "Other", "other", nullptr), -45);
  EXPECT_EQ(c.smtp.ToList, to);
  EXPECT_STREQ(c.smtp.ToList, "<ann@x.org>");
  EXPECT_EQ(c.smtp.Subject, subject);
  EXPECT_EQ(c.link.NextState, MailFrom);
  ASSERT_GT(DriveUntil(0, Data), 0);
  ASSERT_EQ(c.smtp.RcptCount, 1);
  EXPECT_EQ(kovSendEmail(0, "<bob@x.org>", "cy@x.org", nullptr, nullptr, nullptr, nullptr), -41);
  EXPECT_EQ(kovSendEmail(0, "<bob@x.org>", "<cy@x.org>, dee@x.org", nullptr, nullptr, nullptr, nullptr), -37);
  EXPECT_EQ(kovSendEmail(0, "<bob@x.org>,,<cy@x.org>", nullptr, nullptr, nullptr, nullptr, nullptr), -37);
  EXPECT_EQ(c.link.NextState, Data);
  EXPECT_EQ(c.smtp.RcptCount, 1);
  EXPECT_EQ(kovStatistics(0, KOV_STAT_CONNECTION), 1);
  EXPECT_EQ(Finish(0, 0), -49);
  EXPECT_EQ(states, (std::vector<int>{210, -49}));
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "MAIL FROM:<joe@x.org>\r\nRCPT TO:<ann@x.org>\r\nDATA\r\n");
}

// kovClose while the message is being sent: QUIT would be one more line of
// the message, which the server would never answer. The connection is closed
// at once instead, and nothing more is sent.
TEST_P(Envelope, CloseInsideTheMessageSendsNoQuit) {
  if (!Manual()) GTEST_SKIP() << "only a send driven by hand is still inside its message";
  for (int stop : {DataReply, HeaderTo, TextLineFromMemory, EndOfData}) {
    SCOPED_TRACE(stop);
    LoopbackServer server;
    for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go ahead\r\n"}) {
      server.ReadLine();
      Reply(server, reply);
    }
    server.ReadBytes(1u << 20);  // records all the client sends, until it closes
    ASSERT_EQ(Connect(0, server), 0);
    SetSender(0);
    ASSERT_EQ(kovSendEmail(0, "<ann@x.org>", nullptr, nullptr, "Hi", "text", nullptr), 0);
    ASSERT_GT(DriveUntil(0, stop), 0);
    EXPECT_EQ(kovClose(0), 0);
    EXPECT_EQ(Channel(0).link.HoldsSlot, 0);
    EXPECT_EQ(Finish(0, 0), 0);
    // The script fails at the end of the connection, with all it received.
    EXPECT_FALSE(server.WaitScript());
    EXPECT_EQ(server.Received().find("QUIT"), std::string::npos) << server.Received();
  }
}

// A server that closed the connection before the call: -44, nothing sent.
TEST_P(Envelope, AServerThatLeftGetsNothing) {
  LoopbackServer server;
  server.Close();
  ASSERT_EQ(Connect(0, server), 0);
  ASSERT_TRUE(server.WaitScript());
  const int slot = static_cast<int>(Channel(0).link.SlotNumber);
  for (int n = 0; n < 200 && WexlWaitReadable(slot, 0) != 1; ++n) platform::SleepMs(5);
  SetSender(0);
  EXPECT_EQ(kovSendEmail(0, "<ann@x.org>", nullptr, nullptr, nullptr, nullptr, nullptr), -44);
  EXPECT_EQ(server.Received(), "");
  EXPECT_EQ(kovClose(0), 0);
}

// The end of the data: the closing delimiter only for a multipart message,
// then the period line; only a 2xx counts as the message taken.
TEST_P(Envelope, EndOfData) {
  const std::string close = std::string("--") + Boundary + "--\r\n\r\n";
  struct Case {
    uint32_t bodyType;
    bool attachments;
    const char* reply;
    bool multipart;
    int result;
  } cases[] = {
      {0, false, "250 queued\r\n", false, 0},    {2, false, "250 queued\r\n", true, 0},
      {0, true, "250 queued\r\n", true, 0},      {0, false, "451 not taken\r\n", false, -49},
      {0, false, "554 refused\r\n", false, -49},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.reply);
    SCOPED_TRACE(t.bodyType);
    LoopbackServer server;
    server.ReadBytes((t.multipart ? close.size() : 0) + 5);
    Reply(server, t.reply);
    ASSERT_EQ(Connect(1, server), 0);
    ChannelContext& c = Channel(1);
    c.smtp.BodyType = t.bodyType;
    static char list[] = "a.bin";
    c.smtp.AttachList = t.attachments ? list : nullptr;
    EXPECT_EQ(Finish(1, StartStates(c, EndOfData)), t.result);
    ASSERT_TRUE(server.WaitScript());
    EXPECT_EQ(server.Received(), (t.multipart ? close : "") + "\r\n.\r\n");
    c.smtp.AttachList = nullptr;
    c.smtp.BodyType = 0;
    kovAbort(1);
    if (Manual()) kovIntegerParam(1, KOV_AUTO_CALL, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, Envelope, ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual), DriveModeName);

}  // namespace

// A send adds to its counters from wherever they stand: past the largest
// int32 value they stay there instead of wrapping to negative numbers. Only a
// send driven by hand lets the counters be set between the call, which
// clears them, and the first line.
using SendCounters = DriverTest;

TEST_P(SendCounters, StopAtTheLargestValue) {
  TempDir dir;
  const std::string file = dir.File("a.bin");
  std::ofstream(file, std::ios::binary) << std::string(100, 'x');
  LoopbackServer server;
  for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n250 queued\r\n"}) {
    server.ReadLine();
    Reply(server, reply);
  }
  ASSERT_EQ(Connect(0, server), 0);
  SetSender(0);
  ASSERT_EQ(kovSendEmail(0, "<ann@x.org>", nullptr, nullptr, "Hi", "text\r\nmore", file.c_str()), 0);
  ChannelContext& c = Channel(0);
  c.diag.TextBytesIn = c.diag.AttachBytesIn = c.diag.TextBytesOut = c.diag.AttachBytesOut = INT32_MAX - 1;
  c.smtp.RcptCount = INT32_MAX;
  EXPECT_EQ(Finish(0, 0), 0);
  const struct {
    int selector;
    const char* name;
  } counters[] = {
      {KOV_STAT_TEXT_IN, "text in"},     {KOV_STAT_ATTACH_IN, "attachments in"}, {KOV_STAT_BYTES_IN, "bytes in"},
      {KOV_STAT_TEXT_OUT, "text out"},   {KOV_STAT_ATTACH_OUT, "attachments out"},
      {KOV_STAT_BYTES_OUT, "bytes out"}, {KOV_STAT_RCPT_COUNT, "recipients"},
  };
  for (const auto& t : counters) EXPECT_EQ(kovStatistics(0, t.selector), INT_MAX) << t.name;
}

INSTANTIATE_TEST_SUITE_P(Manual, SendCounters, ::testing::Values(DriveMode::kManual), DriveModeName);
