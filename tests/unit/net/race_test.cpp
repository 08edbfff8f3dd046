// A connect that tries several addresses: the next one starts 250 ms after
// the one before or at once after a failure, the first to connect wins and
// the others are closed. The clock is passed in, so the 250 ms are tested
// without waiting for them; the addresses are loopback ones (127.0.0.1 and
// 127.0.0.2 on one port, ::1).
#include <string>
#include <vector>

#include "net/lineio.h"
#include "net_fixture.h"

#ifndef _WIN32
#include <fcntl.h>
#endif

namespace {

using ConnectRaceTest = NetTest;

platform::NetAddress Literal(const char* text) {
  platform::NetAddress address{};
  EXPECT_TRUE(WexlParseIpLiteral(text, &address)) << text;
  return address;
}

// Moves the connect on at `now` until it has an outcome, waiting for the
// attempts in between; 0 when none came within about five seconds.
int Settle(int slot, uint32_t now) {
  for (int round = 0; round < 500; ++round) {
    const int rc = WexlConnectProgress(slot, now);
    if (rc != 0) return rc;
    WexlWaitReady(slot, kWexlWritable, 10);
  }
  return 0;
}

std::string RemoteText(int slot) {
  char text[64] = "";
  WexlRemoteAddress(slot, text, sizeof text);
  return text;
}

// Counts the trace lines of connect attempts.
int Attempts(const std::string& trace) {
  int n = 0;
  for (size_t at = trace.find("RemotePort="); at != std::string::npos; at = trace.find("RemotePort=", at + 1)) ++n;
  return n;
}

TEST_F(ConnectRaceTest, ARefusedAddressGivesWayToTheNextAtOnce) {
  LoopbackServer server("127.0.0.2");
  ASSERT_TRUE(server.Listening());
  server.Send("220 ready\r\n").Start();
  const platform::NetAddress addresses[] = {Literal("127.0.0.1"), Literal("127.0.0.2")};
  const int slot = WexlCreateSocketFor(4);
  TraceFile trace(slot);
  const uint32_t now = 5000;
  ASSERT_EQ(WexlConnectAddresses(slot, addresses, 2, server.Port(), now), 1000);
  // Still at the moment of the start: no 250 ms had to pass.
  EXPECT_EQ(Settle(slot, now), 1);
  EXPECT_EQ(RemoteText(slot), "127.0.0.2");
  const std::string text = trace.Text();
  EXPECT_EQ(Attempts(text), 2) << text;
  EXPECT_NE(text.find("RemoteIP=7f000001"), std::string::npos) << text;
  EXPECT_NE(text.find("ConnectError=-10061"), std::string::npos) << text;
  EXPECT_NE(text.find("RemoteIP=7f000002"), std::string::npos) << text;
  char line[64];
  EXPECT_EQ(WexlReadLine(slot, line, sizeof line, 2000, 200), 11);
}

TEST_F(ConnectRaceTest, AStalledAddressGivesWayAfter250Ms) {
  StalledServer stalled("127.0.0.1");
  ASSERT_TRUE(stalled.Ready()) << "the stalled server's queue never filled";
  LoopbackServer server("127.0.0.2", stalled.Port());
  ASSERT_TRUE(server.Listening());
  server.Start();
  const platform::NetAddress addresses[] = {Literal("127.0.0.1"), Literal("127.0.0.2")};
  const int slot = WexlCreateSocketFor(4);
  TraceFile trace(slot);
  const uint32_t start = 0xFFFFFF00u;  // the clock wraps during the connect
  ASSERT_EQ(WexlConnectAddresses(slot, addresses, 2, stalled.Port(), start), 1000);
  const int first = WexlSlot(slot)->Socket;
  EXPECT_EQ(WexlConnectProgress(slot, start + 100), 0);
  EXPECT_EQ(WexlConnectWakeIn(slot, start + 100), 150u);
  EXPECT_EQ(WexlConnectProgress(slot, start + 249), 0);  // the second address is not due yet
  EXPECT_EQ(WexlSlot(slot)->Socket, first);
  EXPECT_EQ(Settle(slot, start + 250), 1);
  EXPECT_EQ(RemoteText(slot), "127.0.0.2");
  EXPECT_NE(WexlSlot(slot)->Socket, first);
  EXPECT_EQ(WexlConnectWakeIn(slot, start + 300), 0xFFFFFFFFu);
#ifndef _WIN32
  EXPECT_EQ(fcntl(first, F_GETFD), -1) << "the stalled attempt is still open";
#endif
  EXPECT_EQ(Attempts(trace.Text()), 2);
}

TEST_F(ConnectRaceTest, WhenEveryAddressFailsTheLastErrorCounts) {
  const uint16_t port = UnusedLoopbackPort();
  const platform::NetAddress addresses[] = {Literal("127.0.0.1"), Literal("127.0.0.2"), Literal("127.0.0.3")};
  const int slot = WexlCreateSocketFor(4);
  TraceFile trace(slot);
  int rc = WexlConnectAddresses(slot, addresses, 3, port, 0);
  if (rc == 1000) rc = Settle(slot, 0);
  EXPECT_EQ(rc, -10061);
  EXPECT_EQ(Attempts(trace.Text()), 3);
  // The slot still holds the last attempt's socket, which the close frees.
  EXPECT_EQ(WexlReady(slot, kWexlException), 1);
  EXPECT_EQ(WexlCloseNow(slot), 1000);
  EXPECT_EQ(WexlSlot(slot)->Socket, kSocketFree);
}

TEST_F(ConnectRaceTest, ACloseDuringTheConnectClosesEveryAttempt) {
  StalledServer first("127.0.0.1");
  ASSERT_TRUE(first.Ready()) << "the stalled server's queue never filled";
  StalledServer second("127.0.0.2", first.Port());
  ASSERT_TRUE(second.Ready()) << "the second stalled server's queue never filled";
  const platform::NetAddress addresses[] = {Literal("127.0.0.1"), Literal("127.0.0.2")};
  const int slot = WexlCreateSocketFor(4);
  ASSERT_EQ(WexlConnectAddresses(slot, addresses, 2, first.Port(), 0), 1000);
  EXPECT_EQ(WexlConnectProgress(slot, 250), 0);
  const std::vector<int> attempts(WexlSlot(slot)->Race.Attempts, WexlSlot(slot)->Race.Attempts + 2);
  EXPECT_NE(attempts[0], 0);
  EXPECT_NE(attempts[1], 0);
  EXPECT_EQ(WexlSlot(slot)->Socket, attempts[1]);  // the newest one is the slot's socket
  EXPECT_EQ(WexlConnectWakeIn(slot, 250), 250u);   // two under way: a wait outside looks again
  EXPECT_EQ(WexlCloseNow(slot), 1000);
  EXPECT_EQ(WexlSlot(slot)->Socket, kSocketFree);
#ifndef _WIN32
  for (int handle : attempts) EXPECT_EQ(fcntl(handle, F_GETFD), -1) << handle;
#endif
}

TEST_F(ConnectRaceTest, Ipv6Loopback) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback (::1)";
  LoopbackServer server("::1");
  ASSERT_TRUE(server.Listening());
  server.Send("+OK\r\n").Start();
  const platform::NetAddress address = Literal("::1");
  const int slot = WexlCreateSocketFor(6);
  TraceFile trace(slot);
  ASSERT_EQ(WexlConnectAddresses(slot, &address, 1, server.Port(), 0), 1000);
  EXPECT_EQ(Settle(slot, 0), 1);
  EXPECT_EQ(RemoteText(slot), "::1");
  char text[46];
  EXPECT_EQ(WexlLocalAddress(slot, text, sizeof text), 3);
  EXPECT_STREQ(text, "::1");
  EXPECT_EQ(WexlLocalAddress(slot, text, 45), 0);  // too small for IPv6 text
  EXPECT_STREQ(text, "");
  char line[16];
  EXPECT_EQ(WexlReadLine(slot, line, sizeof line, 2000, 200), 5);
  char expected[96];
  snprintf(expected, sizeof expected, "Socket=%d, RemoteIP=[::1], RemotePort=%u\r\nR: +OK\r\n", WexlSlot(slot)->Socket,
           static_cast<unsigned>(server.Port()));
  EXPECT_EQ(trace.Text(), expected);
}

TEST_F(ConnectRaceTest, NoAddressesNoConnect) {
  const int slot = WexlCreateSocketFor(4);
  EXPECT_EQ(WexlConnectAddresses(slot, nullptr, 0, 25, 0), -1009);
  EXPECT_EQ(WexlConnectAddresses(slot + 1, nullptr, 0, 25, 0), -10038);
  EXPECT_EQ(WexlConnectAddresses(-1, nullptr, 0, 25, 0), -1003);
  EXPECT_EQ(WexlConnectProgress(-1, 0), -1003);
  EXPECT_EQ(WexlConnectWakeIn(-1, 0), 0xFFFFFFFFu);
}

}  // namespace
