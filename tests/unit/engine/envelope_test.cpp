// What the send transcripts cannot see: the lists and the last recipient
// after a refusal, a refused call during a send driven by hand, a server
// that left before the call, and the end of the data on its own.
#include <gtest/gtest.h>

#include <string>

#include "codec/strings.h"
#include "engine/frame/operation.h"
#include "engine/frame/settings.h"
#include "engine/frame/states.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"
#include "support/driver_fixture.h"

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

// A call refused for its arguments while a send is driven by hand leaves that
// send on its own lists, and it runs on to its end.
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
  EXPECT_EQ(Finish(0, 0), -49);
  EXPECT_EQ(states, (std::vector<int>{205, 206, 207, 208, 209, 210, -49}));
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "MAIL FROM:<joe@x.org>\r\nRCPT TO:<ann@x.org>\r\nDATA\r\n");
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
