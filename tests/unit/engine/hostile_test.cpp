// What a careless caller and a hostile peer must not reach: another channel's
// connection, a leaked socket or file, a protocol line smuggled in an argument.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/strings.h"
#include "engine/frame/operation.h"
#include "engine/frame/states.h"
#include "engine/frame/step_io.h"
#include "kov32.h"
#include "net/connections.h"
#include "net/lineio.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "support/driver_fixture.h"

namespace {

using Hostile = DriverTest;

// A channel whose connection failed must not talk on the slot it used to
// hold, which the next connect of another channel is given.
TEST_P(Hostile, AChannelNeverTalksOnAnotherChannelsConnection) {
  LoopbackServer first, second;
  first.ReadLine();
  first.Close();
  second.ReadLine();
  Reply(second, "250 two\r\n");
  ASSERT_EQ(Connect(0, first), 0);
  EXPECT_EQ(Finish(0, kovCommand(0, "NOOP")), -51);  // the peer closed
  ASSERT_EQ(Connect(1, second), 0);
  ASSERT_EQ(Channel(1).link.SlotNumber, Channel(0).link.SlotNumber);

  EXPECT_EQ(kovCommand(0, "RSET"), -44);
  EXPECT_EQ(kovVerifyUser(0, "bob"), -44);
  EXPECT_EQ(kovClose(0), 0);
  EXPECT_EQ(kovAbort(0), 1);
  EXPECT_EQ(Finish(1, kovCommand(1, "NOOP")), 0);
  EXPECT_TRUE(second.WaitScript());
  EXPECT_EQ(second.Received(), "NOOP\r\n");
}

// A server that closes first leaves a socket in CLOSE_WAIT: kovClose must
// still close it and free the slot, or after 32 such channels nothing connects.
TEST_P(Hostile, CloseAfterThePeerClosedFreesTheSlot) {
  for (int round = 0; round < kMaxSlots + 4; ++round) {
    SCOPED_TRACE(round);
    LoopbackServer server;
    server.ReadLine();
    server.Close();
    ASSERT_EQ(Connect(round % 4, server), 0);
    const int slot = static_cast<int>(Channel(round % 4).link.SlotNumber);
    EXPECT_EQ(Finish(round % 4, kovCommand(round % 4, "NOOP")), -51);
    EXPECT_EQ(WexlSlot(slot)->Socket, kSocketFree);
  }
  LoopbackServer server;
  server.Close();
  ASSERT_EQ(Connect(2, server), 0);
  ASSERT_TRUE(server.WaitScript());
  // Let the close arrive; kovClose then finds nothing to say QUIT to.
  for (int n = 0; n < 200 && WexlWaitReadable(static_cast<int>(Channel(2).link.SlotNumber), 0) != 1; ++n)
    platform::SleepMs(5);
  char byte;
  EXPECT_EQ(WexlTake(static_cast<int>(Channel(2).link.SlotNumber), &byte, 1), -1);
  const int slot = static_cast<int>(Channel(2).link.SlotNumber);
  EXPECT_EQ(kovClose(2), 0);
  EXPECT_EQ(Channel(2).link.HoldsSlot, 0);
  EXPECT_EQ(WexlSlot(slot)->Socket, kSocketFree);
}

// Timers are elapsed times: a deadline set just before the tick counter wraps
// still lies ahead after it.
TEST_P(Hostile, TheTickCounterMayWrapDuringAnOperation) {
  struct Bias {
    explicit Bias(uint32_t ticksToWrap) { platform::SetTickBias(0u - platform::TickCount() - ticksToWrap); }
    ~Bias() { platform::SetTickBias(0); }
  } wrapSoon(20);
  LoopbackServer server;
  server.ReadLine();
  Reply(server, "250 fine\r\n");
  gSettings.MinWait = 10;
  ASSERT_EQ(Connect(0, server), 0);
  EXPECT_EQ(Finish(0, kovCommand(0, "NOOP")), 0);
  EXPECT_LT(platform::TickCount(), 100000u);  // the counter did wrap
}

// A server whose queue is full never completes the handshake: the connect
// ends at KOV_CONNECT_WAIT, not when the system gives up minutes later.
TEST_P(Hostile, AConnectThatNeverCompletesEndsAtTheConnectLimit) {
  LoopbackServer server;  // listens, never accepts
  std::vector<int> queued;
  for (bool pending = false; !pending && queued.size() < 24;) {
    queued.push_back(WexlCreateSocket());
    ASSERT_EQ(WexlConnect(queued.back(), "127.0.0.1", server.Port()), 1000);
    pending = WexlWaitWritable(queued.back(), 50) != 1;
  }
  kovIntegerParam(0, KOV_CONNECT_WAIT, 300);
  kovIntegerParam(0, KOV_SMTP_PORT, server.Port());
  EXPECT_EQ(Finish(0, kovSmtpConnect(0, "127.0.0.1", "<a@b.c>", nullptr)), -8);
  EXPECT_EQ(Channel(0).link.HoldsSlot, 0);
  for (int slot : queued) WexlClose(slot);
}

// With every socket slot taken a connect gets -7 and keeps its state, so
// that the next call connects once a slot is free.
TEST_P(Hostile, AConnectWithoutAFreeSlotTriesAgainLater) {
  std::vector<int> held;
  for (int n = 0; n < kMaxSlots; ++n) held.push_back(WexlCreateSocket());
  LoopbackServer server;
  server.Start();
  ChannelContext& c = Channel(0);
  BoundedCopy(c.link.ServerName, "127.0.0.1", 128);
  c.link.ConnectPort = static_cast<int16_t>(server.Port());
  EXPECT_EQ(Finish(0, StartStates(c, LocalHost)), -7);
  EXPECT_EQ(c.link.HoldsSlot, 0);
  WexlClose(held.back());
  held.pop_back();
  EXPECT_EQ(Finish(0, Manual() ? 0 : DriveToCompletion(c)), 0);
  EXPECT_EQ(c.link.HoldsSlot, 1);
  for (int slot : held) WexlClose(slot);
}

// kovRelease closes a connection the application left open.
TEST_P(Hostile, ReleaseClosesWhatIsStillOpen) {
  LoopbackServer server;
  ASSERT_EQ(Connect(0, server), 0);
  const int socket = WexlSlot(static_cast<int>(Channel(0).link.SlotNumber))->Socket;
  ASSERT_GE(socket, 2);
  EXPECT_EQ(kovRelease(), 1);
  EXPECT_LT(platform::SocketSend(socket, "x", 1), 0);  // the handle is gone
  ASSERT_EQ(kovAttach(4), 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, Hostile, ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual), DriveModeName);

using Careless = AttachedLibrary;

// Failures, kovAbort and kovClose close the files an operation held.
TEST_F(Careless, EndingAnOperationClosesItsFiles) {
  struct Case {
    const char* how;
    void (*end)(ChannelContext& c);
  } cases[] = {
      {"FailStep", [](ChannelContext& c) { FailStep(c, 0, -8); }},
      {"kovAbort", [](ChannelContext& c) { kovAbort(c.ChannelNumber); }},
      {"kovClose", [](ChannelContext& c) { kovClose(c.ChannelNumber); }},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.how);
    ChannelContext& c = Channel(1);
    c.files.FileHandle = platform::FileCreate(dir.File("part").c_str(), platform::LinkRule::kFollow);
    c.files.MailFileHandle = platform::FileCreate(dir.File("mail").c_str(), platform::LinkRule::kFollow);
    ASSERT_GE(c.files.FileHandle, 2);
    ASSERT_GE(c.files.MailFileHandle, 2);
    t.end(c);
    EXPECT_EQ(c.files.FileHandle, 0);
    EXPECT_EQ(c.files.MailFileHandle, 0);
  }
}

// A text holding CR or LF would go out as two protocol lines: refused, with
// nothing sent and the connection left alone.
TEST_F(Careless, LineBreaksInArgumentsAreRefused) {
  Channel(0).link.ChannelKind = kSmtpChannel;
  EXPECT_EQ(kovCommand(0, "NOOP\r\nRSET"), -56);
  EXPECT_EQ(kovCommand(0, "NOOP\n"), -56);
  EXPECT_EQ(kovVerifyUser(0, "bob\r\nVRFY root"), -32);
  EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1", "<a@b.c>\r\nRSET", nullptr), -32);
  EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1\r\n", "<a@b.c>", nullptr), -56);
  EXPECT_EQ(Channel(0).link.HoldsSlot, 0);
}

}  // namespace
