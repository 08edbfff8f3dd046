// The socket slot table: the slot count, the range check of every operation,
// options and the start-up description.
#include <gtest/gtest.h>

#include <cstring>

#include "net/slots.h"

namespace {

class Slots : public ::testing::Test {
 protected:
  void TearDown() override { WexlShutdown(); }
};

TEST_F(Slots, CountIsClampedToThirtyTwo) {
  struct Case {
    int requested;
    int count;
  } cases[] = {{128, 32}, {33, 32}, {32, 32}, {4, 4}, {0, 0}, {-5, 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(WexlStartup(c.requested, 100), 1000);
    EXPECT_EQ(WexlSlotCount(), c.count) << c.requested;
    WexlShutdown();
  }
}

TEST_F(Slots, StartUpResetsEverySlot) {
  ASSERT_EQ(WexlStartup(128, 75), 1000);
  for (int i = 0; i < 32; ++i) {
    SocketSlot* s = WexlSlot(i);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Index, i);
    EXPECT_EQ(s->Socket, 0);
    EXPECT_EQ(s->SleepInterval, 75);
    EXPECT_EQ(s->RingHead, 0);
    EXPECT_EQ(s->HostName[0], '\0');
  }
}

TEST_F(Slots, EveryOperationChecksTheSlotNumber) {
  ASSERT_EQ(WexlStartup(128, 100), 1000);
  for (int slot : {-1, 32, 1000}) {
    EXPECT_EQ(WexlSetOption(slot, kOptionTrace, 5), -1003) << slot;
    EXPECT_EQ(WexlIsOpen(slot), -1003) << slot;
    EXPECT_EQ(WexlResetBuffer(slot), -1003) << slot;
    EXPECT_EQ(WexlSlot(slot), nullptr) << slot;
  }
  ASSERT_EQ(WexlStartup(4, 100), 1000);
  EXPECT_EQ(WexlIsOpen(4), -1003);
  EXPECT_EQ(WexlIsOpen(3), 0);
}

TEST_F(Slots, Options) {
  ASSERT_EQ(WexlStartup(128, 100), 1000);
  EXPECT_EQ(WexlSetOption(3, kOptionTrace, 17), 1000);
  EXPECT_EQ(WexlSlot(3)->TraceHandle, 17);
  EXPECT_EQ(WexlSetOption(3, kOptionSendWait, 250), 1000);
  EXPECT_EQ(WexlSlot(3)->SendWaitLimit, 250);
  EXPECT_EQ(WexlSetOption(3, 1003, 99), -1006);
  EXPECT_EQ(WexlSlot(3)->TraceHandle, 17);
  EXPECT_EQ(WexlSlot(3)->SendWaitLimit, 250);
  EXPECT_EQ(WexlSetOption(3, kOptionTrace, 0), 1000);
}

TEST_F(Slots, ResetBufferEmptiesTheRing) {
  ASSERT_EQ(WexlStartup(8, 100), 1000);
  WexlSlot(5)->RingHead = 10;
  WexlSlot(5)->RingTail = 40;
  EXPECT_EQ(WexlResetBuffer(5), 1000);
  EXPECT_EQ(WexlSlot(5)->RingHead, 0);
  EXPECT_EQ(WexlSlot(5)->RingTail, 0);
}

TEST_F(Slots, ClaimTakesTheLowestFreeSlot) {
  ASSERT_EQ(WexlStartup(3, 100), 1000);
  EXPECT_EQ(WexlClaimSlot(), 0);
  EXPECT_EQ(WexlClaimSlot(), 1);
  EXPECT_EQ(WexlClaimSlot(), 2);
  EXPECT_EQ(WexlClaimSlot(), -1002);
  WexlSlot(1)->Socket = 0;
  EXPECT_EQ(WexlClaimSlot(), 1);
}

TEST_F(Slots, DescriptionIsBoundedByTheBuffer) {
  ASSERT_EQ(WexlStartup(1, 100), 1000);
  char full[300];
  int n = WexlDescription(full, sizeof full);
  EXPECT_GT(n, 0);
  EXPECT_EQ(static_cast<size_t>(n), strlen(full));
  char small[6] = {'#', '#', '#', '#', '#', '#'};
  EXPECT_EQ(WexlDescription(small, 5), 4);
  EXPECT_EQ(small[4], '\0');
  EXPECT_EQ(small[5], '#');
  EXPECT_EQ(WexlDescription(small, 0), 0);
}

}  // namespace
