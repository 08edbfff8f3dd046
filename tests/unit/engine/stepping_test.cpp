// Stepped driving as an application's event loop does it: kovWaitInfo for
// each thing an operation waits for, a server that answers late costing a
// handful of calls and no blocked call, and a failed connection to a peer
// that stopped reading closing at once.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "kov32.h"
#include "platform/platform.h"
#include "support/driver_fixture.h"
#include "support/event_wait.h"
#include "support/library_fixture.h"
#include "support/loopback_server.h"

namespace {

using Stepping = AttachedLibrary;

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

struct WaitInfo {
  int rc = 0, socket = -2, events = -2, timeoutMs = -2;
};

WaitInfo InfoOf(int channel) {
  WaitInfo w;
  w.rc = kovWaitInfo(channel, &w.socket, &w.events, &w.timeoutMs);
  return w;
}

// Calls kovDriver (waiting as told between calls) until it returns KOV_MORE
// with `until` true, or the operation ends: the last result.
int StepUntil(int channel, const std::function<bool()>& until) {
  const uint32_t start = platform::TickCount();
  for (;;) {
    int rc = kovDriver(channel);
    if (rc <= 0 || (rc == KOV_MORE && until())) return rc;
    if (platform::TickCount() - start > 5000) return -9999;
    if (rc == KOV_MORE) WaitAsTold(channel, 100);
  }
}

// A server that greets, takes HELO, MAIL, RCPT and DATA, and then reads
// nothing more.
void StopReadingAfterData(LoopbackServer& server) {
  server.Send("220 hi\r\n").ReadLine().Send("250 ok\r\n");
  for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) server.ReadLine().Send(reply);
  server.Pause(10000);
}

int StartSmtp(int channel, LoopbackServer& server) {
  server.Start();
  kovIntegerParam(channel, KOV_SMTP_PORT, server.Port());
  kovIntegerParam(channel, KOV_AUTO_CALL, 0);
  return kovSmtpConnect(channel, "127.0.0.1", "<a@b.c>", nullptr);
}

TEST_F(Stepping, WaitInfoNamesWhatTheOperationWaitsFor) {
  gSettings.MinWait = 1;
  gSettings.MaxWait = 3000;
  // Nothing under way: nothing to wait on, call now.
  WaitInfo idle = InfoOf(1);
  EXPECT_EQ(idle.rc, 0);
  EXPECT_EQ(idle.socket, -1);
  EXPECT_EQ(idle.events, 0);
  EXPECT_EQ(idle.timeoutMs, 0);

  // The greeting comes late: wait for the socket to become readable, at most
  // until the reply's deadline.
  LoopbackServer server;
  server.Pause(400).Send("220 hi\r\n").ReadLine().Send("250 ok\r\n");
  ASSERT_EQ(StartSmtp(0, server), 0);
  ASSERT_EQ(StepUntil(0, [] { return InfoOf(0).events != 0; }), KOV_MORE);
  WaitInfo reply = InfoOf(0);
  EXPECT_GE(reply.socket, 0);
  EXPECT_EQ(reply.events, KOV_WAIT_READ);
  EXPECT_GT(reply.timeoutMs, 0);
  EXPECT_LE(reply.timeoutMs, gSettings.ConnectWait + gSettings.MaxWait + 1);

  // After HELO is sent the next step waits for its timer first: no socket.
  // The answer is taken where it was seen: on a loaded machine the timer may
  // have run out by a later call (then the answer is "call now", 0 ms).
  WaitInfo timer;
  ASSERT_EQ(StepUntil(0, [&timer] {
              timer = InfoOf(0);
              return timer.socket == -1;
            }),
            KOV_MORE);
  EXPECT_EQ(timer.events, 0);
  EXPECT_GE(timer.timeoutMs, 0);
  EXPECT_LE(timer.timeoutMs, 2 * 1 + 200);  // SlowReplyDelay after HELO
  kovAbort(0);
}

TEST_F(Stepping, WaitInfoAsksForRoomWhenThePeerDoesNotRead) {
  gSettings.MinWait = 1;
  gSettings.MaxWait = gSettings.SendWait = 3000;
  WriteFile(dir.File("big.bin"), std::string(8 << 20, 'x'));
  LoopbackServer server;
  StopReadingAfterData(server);
  ASSERT_EQ(StartSmtp(0, server), 0);
  std::vector<int> states;
  ASSERT_EQ(DriveByHand(0, states), 0);
  ASSERT_EQ(kovSendEmail(0, "<b@x.y>", nullptr, nullptr, "s", "t", dir.File("big.bin").c_str()), 0);
  ASSERT_EQ(StepUntil(0, [] { return InfoOf(0).events == KOV_WAIT_WRITE; }), KOV_MORE);
  EXPECT_GE(InfoOf(0).socket, 0);
  kovAbort(0);
}

TEST_F(Stepping, WaitInfoChecksItsArguments) {
  int a = 0, b = 0, c = 0;
  EXPECT_EQ(kovWaitInfo(0, nullptr, &b, &c), KOV_E_NULL_POINTER);
  EXPECT_EQ(kovWaitInfo(0, &a, nullptr, &c), KOV_E_NULL_POINTER);
  EXPECT_EQ(kovWaitInfo(0, &a, &b, nullptr), KOV_E_NULL_POINTER);
  EXPECT_EQ(kovWaitInfo(4, &a, &b, &c), KOV_E_CHANNEL_RANGE);
  kovRelease();
  EXPECT_EQ(kovWaitInfo(0, &a, &b, &c), KOV_E_NOT_ATTACHED);
}

// A reply whose lines come a second apart: the caller's thread is never
// held, and the wait costs a few calls, not a loop.
TEST_F(Stepping, ALateReplyCostsFewCallsAndNoBlockedCall) {
  gSettings.MinWait = 1;
  gSettings.MaxWait = 5000;
  LoopbackServer server;
  server.Pause(700).Send("220-hello\r\n").Pause(700).Send("220 there\r\n").ReadLine().Pause(700).Send("250 ok\r\n");
  ASSERT_EQ(StartSmtp(0, server), 0);
  int calls = 0;
  uint32_t longest = 0;
  int rc;
  do {
    const uint32_t before = platform::TickCount();
    rc = kovDriver(0);
    const uint32_t took = platform::TickCount() - before;
    longest = took > longest ? took : longest;
    ++calls;
    if (rc == KOV_MORE) WaitAsTold(0, 1000);
  } while (rc > 0 && calls < 1000);
  EXPECT_EQ(rc, 0);
  EXPECT_LT(longest, kLongestDriverCallMs);
  EXPECT_LT(calls, 60) << "the waits must be in the event loop, not in calls";
}

// A send that fails on a peer that stopped reading: the failure closes the
// connection without waiting for the peer to take what is still queued.
TEST_F(Stepping, AFailedConnectionClosesAtOnce) {
  gSettings.MinWait = 1;
  gSettings.MaxWait = gSettings.SendWait = 500;
  WriteFile(dir.File("big.bin"), std::string(16 << 20, 'x'));
  LoopbackServer server;
  StopReadingAfterData(server);
  server.Start();
  kovIntegerParam(0, KOV_SMTP_PORT, server.Port());
  ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", "<a@b.c>", nullptr), 0);
  const uint32_t start = platform::TickCount();
  EXPECT_LT(kovSendEmail(0, "<b@x.y>", nullptr, nullptr, "s", "t", dir.File("big.bin").c_str()), 0);
  EXPECT_LT(platform::TickCount() - start, 5000u) << "the failure waited for the peer";
}

}  // namespace
