// The receive ring: order across the wrap, the 255-byte limit, the reset when
// emptied, and counts that move nothing.
#include <string>

#include "net/ring.h"
#include "net_fixture.h"

namespace {

using Ring = NetTest;

TEST_F(Ring, OrderLimitAndReset) {
  SocketSlot& s = *WexlSlot(0);
  s.RingHead = s.RingTail = 250;
  ASSERT_EQ(RingPut(0, "0123456789", 10), 10);
  char out[300] = {};
  EXPECT_EQ(RingPeek(0, out, 16), 10);
  EXPECT_EQ(std::string(out, 10), "0123456789");
  EXPECT_EQ(RingTake(0, out, 4), 4);
  EXPECT_EQ(std::string(out, 4), "0123");
  EXPECT_EQ(RingTake(0, out, 16), 6);
  EXPECT_EQ(std::string(out, 6), "456789");
  EXPECT_EQ(s.RingHead, 0);  // emptied: both indices back at 0
  EXPECT_EQ(s.RingTail, 0);

  const std::string data(300, 'x');
  EXPECT_EQ(RingPut(0, data.c_str(), 300), 255);
  EXPECT_EQ(RingPut(0, "y", 1), 0);
  for (int count : {0, -1}) EXPECT_EQ(RingTake(0, out, count), 0);
  EXPECT_EQ(RingPut(0, nullptr, 5), 0);
  EXPECT_EQ(RingPeek(0, nullptr, 3), 0);
  EXPECT_EQ(RingCount(s), 255);
}

}  // namespace
