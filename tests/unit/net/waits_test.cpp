// The polling waits and the blocking wait.
#include "net/lineio.h"
#include "net/ring.h"
#include "net_fixture.h"

namespace {

using Waits = NetTest;

TEST_F(Waits, ALimitOfZeroPollsOnce) {
  ASSERT_EQ(WexlStartup(128, 1000), 1000);  // a sleep between polls would show
  LoopbackServer server;
  int slot = Connect(server);
  EXPECT_LT(ElapsedMs([slot] { EXPECT_EQ(WexlWaitReadable(slot, 0), 0); }), 500);
  EXPECT_LT(ElapsedMs([slot] { EXPECT_EQ(WexlWaitWritable(slot, 0), 1); }), 500);
  EXPECT_LT(ElapsedMs([slot] { EXPECT_EQ(WexlDrain(slot), 1000); }), 500);
  EXPECT_LT(ElapsedMs([] { EXPECT_EQ(WexlWaitWritable(5, 0), 0); }), 500);  // no socket
}

TEST_F(Waits, BufferedDataIsReadableAtOnce) {
  // A slot without a socket: only the ring can answer.
  ASSERT_EQ(RingPut(4, "abc", 3), 3);
  EXPECT_EQ(WexlWaitReadable(4, 0), 1);
  EXPECT_EQ(WexlWaitReadable(4, 60000), 1);
  EXPECT_EQ(WexlWaitReady(4, 1, 60000), 1);
  EXPECT_EQ(WexlWaitReady(4, 2, 0), 0);
}

TEST_F(Waits, DataArrivingWithinTheLimit) {
  LoopbackServer server;
  server.Pause(50).Send("x").Pause(50).Send("y");
  int slot = Connect(server);
  EXPECT_LT(ElapsedMs([slot] { EXPECT_EQ(WexlWaitReadable(slot, 5000), 1); }), 4000);
  char byte;
  ASSERT_EQ(WexlTake(slot, &byte, 1), 1);
  EXPECT_LT(ElapsedMs([slot] { EXPECT_EQ(WexlWaitReady(slot, 1, 5000), 1); }), 4000);
  EXPECT_EQ(WexlWaitReady(slot, 2, 5000), 1);
}

TEST_F(Waits, NothingWithinTheLimit) {
  LoopbackServer server;
  int slot = Connect(server);
  // Coarse bounds: some clocks move in steps of about 16 ms.
  long long polled = ElapsedMs([slot] { EXPECT_EQ(WexlWaitReadable(slot, 60), 0); });
  EXPECT_GE(polled, 40);
  long long blocked = ElapsedMs([slot] { EXPECT_EQ(WexlWaitReady(slot, 1, 60), 0); });
  EXPECT_GE(blocked, 40);
  EXPECT_LT(blocked, 3000);
  EXPECT_EQ(WexlWaitReady(slot + 1, 1, 60000), 0);  // no socket: nothing to wait for
}

}  // namespace
