// The receive ring: order across the wrap, the 255-byte limit, the reset when
// emptied, and counts that move nothing.
#include <cstring>
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

// Bytes put into the read-ahead buffer as one receive would leave them.
void Receive(SocketSlot& s, const std::string& bytes) {
  memcpy(s.AheadData, bytes.data(), bytes.size());
  s.AheadHead = 0;
  s.AheadTail = static_cast<int32_t>(bytes.size());
}

// An empty ring filled from the read-ahead holds the bytes where they lie,
// and shows, counts and hands out exactly what a ring of copies would: the
// window of at most 255 bytes first, the rest of the read-ahead after it.
TEST_F(Ring, BytesHeldInPlaceBehaveAsCopiedOnes) {
  SocketSlot& s = *WexlSlot(0);
  const std::string burst = std::string(300, 'a') + "tail";
  Receive(s, burst);
  FillRingFromAhead(s, 1000);
  EXPECT_EQ(RingCount(s), 255);
  EXPECT_EQ(BufferedCount(s), 304);  // counted once, not twice
  char out[400] = {};
  EXPECT_EQ(TakeAhead(s, out, 10), 0);  // the ring's bytes come first
  EXPECT_EQ(RingTake(0, out, 250), 250);
  EXPECT_EQ(RingPeek(0, out, 100), 5);
  // Putting bytes behind the held ones keeps the order.
  EXPECT_EQ(RingPut(0, "XY", 2), 2);
  EXPECT_EQ(RingTake(0, out, 100), 7);
  EXPECT_EQ(std::string(out, 7), "aaaaaXY");
  EXPECT_EQ(TakeAhead(s, out, 100), 49);
  EXPECT_EQ(std::string(out, 49), std::string(45, 'a') + "tail");
  EXPECT_EQ(BufferedCount(s), 0);
}

TEST_F(Ring, AWindowAsSmallAsAskedAndAResetForgetsIt) {
  SocketSlot& s = *WexlSlot(0);
  Receive(s, "0123456789");
  FillRingFromAhead(s, 4);
  int span = 0;
  EXPECT_EQ(std::string(RingSpan(s, &span), 4), "0123");
  EXPECT_EQ(span, 4);
  EXPECT_EQ(RingSkip(s, 3), 3);
  EXPECT_EQ(RingCount(s), 1);
  ClearReceived(s);
  EXPECT_EQ(RingCount(s), 0);
  EXPECT_EQ(BufferedCount(s), 0);
}

}  // namespace
