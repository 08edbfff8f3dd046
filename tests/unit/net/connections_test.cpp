// Socket creation, connect and close, and the slot checks of every operation.
#include <cstdio>
#include <functional>
#include <string>

#include "net/lineio.h"
#include "net/ring.h"
#include "net_fixture.h"

namespace {

using Connections = NetTest;

TEST_F(Connections, ConnectAndClose) {
  LoopbackServer server;
  int slot = Connect(server);
  ASSERT_EQ(slot, 0);
  EXPECT_EQ(WexlIsOpen(slot), 1);
  EXPECT_EQ(WexlSlot(slot)->RemotePort, server.Port());
  char local[18];
  EXPECT_EQ(WexlLocalAddress(slot, local, sizeof local), 9);
  EXPECT_STREQ(local, "127.0.0.1");

  EXPECT_EQ(WexlClose(slot), 1000);
  EXPECT_EQ(WexlSlot(slot)->Socket, 0);
  EXPECT_EQ(WexlIsOpen(slot), 0);
  EXPECT_EQ(WexlLocalAddress(slot, local, sizeof local), 0);
  EXPECT_STREQ(local, "");
  EXPECT_EQ(WexlCreateSocket(), 0);  // the slot is free again
}

TEST_F(Connections, RefusedConnectIsTheSocketCode) {
  int slot = WexlCreateSocket();
  EXPECT_EQ(WexlReady(slot, 2), 0);  // not connected yet: neither writable nor readable
  EXPECT_EQ(WexlReady(slot, 1), 0);
  EXPECT_EQ(WexlConnect(slot, "127.0.0.1", UnusedLoopbackPort()), -10061);
  // The failed connect shows as an exception condition, never as writable.
  EXPECT_EQ(WexlReady(slot, 3), 1);
  EXPECT_EQ(WexlReady(slot, 2), 0);
  EXPECT_EQ(WexlWaitWritable(slot, 0), 0);
  EXPECT_EQ(WexlClose(slot), 1000);
}

TEST_F(Connections, ConnectDoesNotWaitForTheHandshake) {
  // The server never accepts, so once its queue is full the handshake of a
  // further connect cannot complete; each connect must return at once all
  // the same, and the last one is neither connected nor failed.
  LoopbackServer server;
  int pending = -1;
  for (int queued = 0; queued < 24 && pending < 0; ++queued) {
    int slot = WexlCreateSocket();
    ASSERT_GE(slot, 0);
    EXPECT_LT(ElapsedMs([slot, &server] { EXPECT_EQ(WexlConnect(slot, "127.0.0.1", server.Port()), 1000); }), 1000);
    if (WexlWaitWritable(slot, 50) != 1) pending = slot;
  }
  ASSERT_GE(pending, 0) << "the server's queue never filled";
  long long ms = ElapsedMs([pending] { EXPECT_EQ(WexlWaitReady(pending, 2, 200), 0); });
  EXPECT_GE(ms, 150);
  EXPECT_EQ(WexlReady(pending, 3), 0);
}

TEST_F(Connections, AnUnresolvableServerIsNotConnected) {
  LoopbackServer server;
  int slot = WexlCreateSocket();
  ASSERT_EQ(WexlResolve(slot, "127.0.0.1"), 1000);
  // The address resolved before must not be used for another name.
  EXPECT_EQ(WexlConnect(slot, "no..such.host", server.Port()), -1009);
  server.Start();
  EXPECT_EQ(WexlConnect(slot, "127.0.0.1", server.Port()), 1000);  // not connected before
}

TEST_F(Connections, NoSocketNoConnect) { EXPECT_EQ(WexlConnect(5, "127.0.0.1", 25), -10038); }

TEST_F(Connections, ThirtyTwoSlotsLowestFreeFirst) {
  for (int expected = 0; expected < 32; ++expected) ASSERT_EQ(WexlCreateSocket(), expected);
  EXPECT_EQ(WexlCreateSocket(), -1002);
  EXPECT_EQ(WexlClose(7), 1000);
  EXPECT_EQ(WexlClose(3), 1000);
  EXPECT_EQ(WexlCreateSocket(), 3);
  EXPECT_EQ(WexlCreateSocket(), 7);
  EXPECT_EQ(WexlCreateSocket(), -1002);
}

TEST_F(Connections, CloseTakesThePauseOnlyWithASocket) {
  LoopbackServer server;
  int slot = Connect(server);
  WexlSetClosePause(500);
  EXPECT_LT(ElapsedMs([] { EXPECT_EQ(WexlClose(9), 1000); }), 400);  // nothing to close
  long long ms = ElapsedMs([slot] { EXPECT_EQ(WexlClose(slot), 1000); });
  WexlSetClosePause(0);
  EXPECT_GE(ms, 480);
}

TEST_F(Connections, ConnectTraceLine) {
  LoopbackServer server;
  server.Start();
  int slot = WexlCreateSocket();
  TraceFile trace(slot);
  ASSERT_EQ(WexlConnect(slot, "127.0.0.1", server.Port()), 1000);
  // Ports above 32767 are shown as they are, not as negative numbers.
  char expected[96];
  snprintf(expected, sizeof expected, "Socket=%d, RemoteIP=7f000001, RemotePort=%u\r\n", WexlSlot(slot)->Socket,
           static_cast<unsigned>(server.Port()));
  EXPECT_EQ(trace.Text(), expected);
}

TEST_F(Connections, EveryOperationChecksTheSlot) {
  char buffer[32] = {};
  const std::function<int(int)> operations[] = {
      [](int s) { return WexlResolve(s, "127.0.0.1"); },
      [](int s) { return WexlLookupHost(s); },
      [](int s) { return WexlConnect(s, "127.0.0.1", 25); },
      [](int s) { return WexlClose(s); },
      [](int s) { return WexlReady(s, 1); },
      [](int s) { return WexlWaitWritable(s, 0); },
      [](int s) { return WexlWaitReadable(s, 0); },
      [](int s) { return WexlWaitReady(s, 1, 0); },
      [&](int s) { return WexlRemoteAddress(s, buffer, sizeof buffer); },
      [&](int s) { return WexlLocalAddress(s, buffer, sizeof buffer); },
      [](int s) { return WexlSend(s, "x", 1); },
      [](int s) { return WexlSendText(s, "x"); },
      [](int s) { return WexlSendLine(s, "x"); },
      [&](int s) { return WexlPeek(s, buffer, 4); },
      [&](int s) { return WexlTake(s, buffer, 4); },
      [&](int s) { return WexlGetLine(s, buffer, sizeof buffer); },
      [&](int s) { return WexlReadLine(s, buffer, sizeof buffer, 0, 0); },
      [](int s) { return WexlDrain(s); },
      [](int s) { return RingPut(s, "x", 1); },
      [&](int s) { return RingTake(s, buffer, 4); },
      [&](int s) { return RingPeek(s, buffer, 4); },
  };
  for (int slot : {-1, 32}) {
    for (size_t i = 0; i < sizeof operations / sizeof operations[0]; ++i) {
      EXPECT_EQ(operations[i](slot), -1003) << "operation " << i << ", slot " << slot;
    }
  }
}

TEST_F(Connections, ReadinessKinds) {
  LoopbackServer server;
  int slot = Connect(server);
  EXPECT_EQ(WexlReady(slot, 2), 1);
  EXPECT_EQ(WexlReady(slot, 1), 0);
  EXPECT_EQ(WexlReady(slot, 3), 0);
  for (int kind : {0, 4, -1}) EXPECT_EQ(WexlReady(slot, kind), -1004) << kind;
  for (int kind : {0, 3}) EXPECT_EQ(WexlWaitReady(slot, kind, 0), -1004) << kind;
  EXPECT_EQ(WexlReady(slot + 1, 2), 0);  // no socket: never ready
}

}  // namespace
