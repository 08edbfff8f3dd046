// The connect states with several addresses to try (what the resolve step
// leaves with KOV_IP_FAMILY set): the first address stalls, the second
// connects, in automatic and in stepped driving, where no kovDriver call
// blocks and kovWaitInfo asks to be called again within 250 ms while an
// address is still to start.
#include <gtest/gtest.h>

#include "api/library.h"
#include "engine/frame/states.h"
#include "kov32.h"
#include "net/connections.h"
#include "support/driver_fixture.h"
#include "support/event_wait.h"

namespace {

using AddressRace = DriverTest;

// Prepares channel 0 as the resolve step would have left it for `addresses`.
void Resolved(const char* const* addresses, int count, uint16_t port) {
  ChannelContext& c = Channel(0);
  c.link.ChannelKind = kSmtpChannel;
  c.link.ConnectPort = static_cast<int16_t>(port);
  c.link.TriesAddresses = 1;
  c.link.ServerAddressCount = static_cast<uint8_t>(count);
  for (int i = 0; i < count; ++i) ASSERT_TRUE(WexlParseIpLiteral(addresses[i], &c.link.ServerAddresses[i]));
}

TEST_P(AddressRace, AStalledAddressGivesWayToTheNext) {
  StalledServer stalled("127.0.0.1");
  ASSERT_TRUE(stalled.Ready()) << "the stalled server's queue never filled";
  LoopbackServer server("127.0.0.2", stalled.Port());
  ASSERT_TRUE(server.Listening());
  server.Start();
  const char* const addresses[] = {"127.0.0.1", "127.0.0.2"};
  Resolved(addresses, 2, stalled.Port());
  int rc = StartStates(Channel(0), OpenSocket);
  if (Manual()) {
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(kovDriver(0), AwaitConnected);  // the first address's connect started
    int socket = -1;
    int events = 0;
    int timeoutMs = -1;
    // Past the first step's short timer it waits for the stalled connect.
    for (int calls = 0; calls < 20 && events == 0; ++calls) {
      ASSERT_EQ(kovDriver(0), KOV_MORE);
      ASSERT_EQ(kovWaitInfo(0, &socket, &events, &timeoutMs), 0);
      if (events == 0) WaitAsTold(0, 5);
    }
    EXPECT_GE(socket, 2);
    EXPECT_EQ(events, KOV_WAIT_WRITE);
    EXPECT_GE(timeoutMs, 0);
    EXPECT_LE(timeoutMs, 250);  // the second address is due by then, well before the connect limit
    rc = Finish(0, 0);
  }
  EXPECT_EQ(rc, 0);
  char text[64];
  EXPECT_EQ(kovDebug(0, KOV_DEBUG_REMOTE_ADDRESS, text, sizeof text), 9);
  EXPECT_STREQ(text, "127.0.0.2");
  EXPECT_EQ(kovStatistics(0, KOV_STAT_CONNECTION), 1);
}

TEST_P(AddressRace, EveryAddressRefusedFailsWithTheLastError) {
  const uint16_t port = UnusedLoopbackPort();
  const char* const addresses[] = {"127.0.0.1", "127.0.0.2"};
  Resolved(addresses, 2, port);
  EXPECT_EQ(Finish(0, StartStates(Channel(0), OpenSocket)), KOV_E_CONNECT);
  EXPECT_EQ(kovStatistics(0, KOV_STAT_SOCK_CODE), -10061);
  EXPECT_EQ(Channel(0).link.HoldsSlot, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, AddressRace, ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual),
                         DriveModeName);

}  // namespace
