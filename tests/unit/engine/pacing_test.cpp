// What speeds a transfer up without changing what goes over the wire: no
// fixed pauses with KOV_PACING 0, output that gathers between steps and is
// handed over before any wait, and a log whose file holds every record once a
// call returns.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "kov32.h"
#include "net/connections.h"
#include "engine/frame/states.h"
#include "net/output.h"
#include "platform/platform.h"
#include "support/event_wait.h"
#include "support/library_fixture.h"
#include "support/loopback_server.h"

namespace {

using Pacing = AttachedLibrary;

// An SMTP server that greets, takes HELO and one message, and answers QUIT,
// then holds. With `holdAtEnd` it answers the message's end only once the
// test released it.
void ScriptSmtp(LoopbackServer& server, bool holdAtEnd = false) {
  server.Send("220 hi\r\n").ReadLine().Send("250 ok\r\n");
  for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) server.ReadLine().Send(reply);
  server.ReadThrough("\r\n.\r\n");
  if (holdAtEnd) server.Hold();
  server.Send("250 sent\r\n").ReadThrough("QUIT\r\n").Send("221 bye\r\n").Hold();
}

int ConnectSmtp(int channel, LoopbackServer& server) {
  server.Start();
  kovIntegerParam(channel, KOV_SMTP_PORT, server.Port());
  return kovSmtpConnect(channel, "127.0.0.1", "<a@b.c>", nullptr);
}

SocketSlot& SlotOf(int channel) { return *WexlSlot(static_cast<int>(Channel(channel).link.SlotNumber)); }

TEST_F(Pacing, TheParameterIsProcessWideAndAFlag) {
  EXPECT_EQ(gSettings.Pacing, 1);
  EXPECT_EQ(kovIntegerParam(2, KOV_PACING, 0), 1);
  EXPECT_EQ(gSettings.Pacing, 0);
  EXPECT_EQ(kovIntegerParam(1, KOV_PACING, 7), 1);
  EXPECT_EQ(gSettings.Pacing, 1);
}

// Pauses of seconds (KOV_DELAY, the close pause) cost nothing without
// pacing: a whole session takes far less than one of them.
TEST_F(Pacing, WithoutPacingNoFixedPauseIsWaited) {
  kovIntegerParam(0, KOV_DELAY, 4000);
  kovIntegerParam(0, KOV_TIMEOUT, 3000);
  kovIntegerParam(0, KOV_PACING, 0);
  WexlSetClosePause(4000);
  LoopbackServer server;
  ScriptSmtp(server);
  const uint32_t start = platform::TickCount();
  ASSERT_EQ(ConnectSmtp(0, server), 0);
  ASSERT_EQ(kovSendEmail(0, "<b@x.y>", nullptr, nullptr, "s", "text", nullptr), 0);
  ASSERT_EQ(kovClose(0), 0);
  EXPECT_LT(platform::TickCount() - start, 3000u);
  WexlSetClosePause(0);
  server.Release();
}

// Stepped: after HELO the next step waits for the server's reply on the
// socket, not for a timer.
TEST_F(Pacing, WithoutPacingAStepWaitsForTheReplyNotATimer) {
  kovIntegerParam(0, KOV_DELAY, 4000);
  kovIntegerParam(0, KOV_PACING, 0);
  kovIntegerParam(0, KOV_AUTO_CALL, 0);
  LoopbackServer server;
  server.Send("220 hi\r\n").ReadLine().Hold().Send("250 ok\r\n");
  ASSERT_EQ(ConnectSmtp(0, server), 0);
  int socket = 0, events = 0, timeoutMs = 0;
  for (int calls = 0; calls < 200; ++calls) {
    const int rc = kovDriver(0);
    ASSERT_GT(rc, 0);
    ASSERT_EQ(kovWaitInfo(0, &socket, &events, &timeoutMs), 0);
    ASSERT_FALSE(socket == -1 && timeoutMs != 0) << "a timer instead of the socket";
    if (rc == KOV_MORE && Channel(0).link.NextState == SmtpHelloReply) break;
    if (rc == KOV_MORE) WaitAsTold(0, 100);
  }
  EXPECT_EQ(Channel(0).link.NextState, SmtpHelloReply);
  EXPECT_EQ(events, KOV_WAIT_READ);
  server.Release();
  kovAbort(0);
}

// Stepped: message lines gather in the output buffer across kovDriver calls;
// whenever a call returns to wait for the server, all of it has been handed
// over. And the log holds the line of every state that ran when a call returns.
TEST_F(Pacing, SteppedOutputGathersAndGoesBeforeEveryWait) {
  const std::string log = OpenLog(0);
  kovIntegerParam(0, KOV_PACING, 0);
  std::string text;
  for (int n = 0; n < 200; ++n) text += "line " + std::to_string(n) + "\r\n";
  LoopbackServer server;
  ScriptSmtp(server, true);
  ASSERT_EQ(ConnectSmtp(0, server), 0);
  kovIntegerParam(0, KOV_AUTO_CALL, 0);
  ASSERT_EQ(kovSendEmail(0, "<b@x.y>", nullptr, nullptr, "s", text.c_str(), nullptr), 0);
  int gathered = 0, waits = 0, rc;
  for (int calls = 0; calls < 5000; ++calls) {
    rc = kovDriver(0);
    if (rc <= 0) break;
    const int ran = Channel(0).link.PrevState;
    if (ran > 0) {
      char stateLine[16];
      snprintf(stateLine, sizeof stateLine, "<%3d:", ran);
      EXPECT_NE(LogOf(log).find(stateLine), std::string::npos) << ran;
    }
    int socket = 0, events = 0, timeoutMs = 0;
    kovWaitInfo(0, &socket, &events, &timeoutMs);
    if (rc != KOV_MORE && OutputCount(SlotOf(0)) > 0) ++gathered;
    if (rc == KOV_MORE && events == KOV_WAIT_READ) {
      ++waits;
      EXPECT_EQ(OutputCount(SlotOf(0)), 0) << "waiting for a reply with output held";
      server.Release();  // the message's end has gone: the server may answer
    }
    if (rc == KOV_MORE) WaitAsTold(0, 100);
  }
  EXPECT_EQ(rc, 0);
  EXPECT_GT(gathered, 100);
  EXPECT_GT(waits, 0);
  EXPECT_NE(LogOf(log).find("S: line 199\r\n"), std::string::npos);
  EXPECT_NE(LogOf(log).find("R: 250 sent\r\n"), std::string::npos);
  server.Release();
}

}  // namespace
