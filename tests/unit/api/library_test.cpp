// Attach and release: the library's two states, the channel check, the
// values a fresh channel starts with, and the release line in a channel log.
#include <gtest/gtest.h>

#include <cstring>

#include "api/blocks.h"
#include "api/library.h"
#include "engine/frame/settings.h"
#include "kov32.h"
#include "net/slots.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

class Library : public ::testing::Test {
 protected:
  void TearDown() override { kovRelease(); }
};

TEST_F(Library, AttachLimitsAndStates) {
  struct Case {
    int count;
    int result;
    int channelsAfter;
  } cases[] = {{-1, -73, 0}, {129, -73, 0}, {0, 1, 0}, {4, 1, 4}, {128, 1, 128}, {1, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(kovAttach(c.count), c.result);
    EXPECT_EQ(ChannelCount(), c.channelsAfter);
    EXPECT_EQ(kovRelease(), 1);
  }
}

TEST_F(Library, SecondAttachIsRefusedAndChangesNothing) {
  ASSERT_EQ(kovAttach(4), 1);
  EXPECT_EQ(kovAttach(8), -72);
  EXPECT_EQ(kovAttach(4), -72);
  EXPECT_EQ(ChannelCount(), 4);
}

TEST_F(Library, ReleaseTwiceReturnsOneBothTimes) {
  ASSERT_EQ(kovAttach(2), 1);
  EXPECT_EQ(kovRelease(), 1);
  EXPECT_EQ(kovRelease(), 1);
  EXPECT_EQ(ChannelCount(), 0);
}

TEST_F(Library, AttachOfZeroLeavesLibraryNotAttached) {
  ASSERT_EQ(kovAttach(0), 1);
  EXPECT_EQ(CheckChannel(0), -71);
  EXPECT_EQ(kovAttach(4), 1);
  EXPECT_EQ(CheckChannel(3), 0);
}

TEST_F(Library, ChannelCheck) {
  EXPECT_EQ(CheckChannel(0), -71);
  ASSERT_EQ(kovAttach(4), 1);
  struct Case {
    int channel;
    int result;
  } cases[] = {{0, 0}, {3, 0}, {4, -73}, {-1, -73}, {65536, -73}, {-65536, -73}, {0x7fffffff, -73}};
  for (const Case& c : cases) EXPECT_EQ(CheckChannel(c.channel), c.result) << c.channel;
  kovRelease();
  EXPECT_EQ(CheckChannel(0), -71);
}

TEST_F(Library, FreshChannelHasItsAttachValues) {
  ASSERT_EQ(kovAttach(3), 1);
  for (int n = 0; n < 3; ++n) {
    const ChannelContext& c = Channel(n);
    EXPECT_EQ(c.ChannelNumber, n);
    EXPECT_EQ(c.link.PrevState, -2);
    EXPECT_EQ(c.link.ThisState, -1);
    EXPECT_EQ(c.link.AutoCall, 1u);
    EXPECT_EQ(c.link.SmtpPort, 25);
    EXPECT_EQ(c.link.Pop3Port, 110);
    EXPECT_EQ(c.smtp.DetectImageTypes, 1);
    EXPECT_EQ(c.link.NonBlockingConnect, 0u);
    EXPECT_EQ(c.link.HoldsSlot, 0);
    EXPECT_EQ(c.diag.LogHandle, 0);
    EXPECT_EQ(c.link.SlotNumber, 0u);
    EXPECT_EQ(c.link.ServerName[0], '\0');
    EXPECT_EQ(c.smtp.ToList, nullptr);
    // The record is the channel's memory block 0.
    EXPECT_EQ(reinterpret_cast<const char*>(&c), BlockData(static_cast<uint16_t>(n * 10)));
    EXPECT_EQ(BlockSize(static_cast<uint16_t>(n * 10)), static_cast<int>(sizeof(ChannelContext)));
  }
}

TEST_F(Library, AttachStartsThirtyTwoSocketSlots) {
  ASSERT_EQ(kovAttach(128), 1);
  EXPECT_EQ(WexlSlotCount(), 32);
}

TEST_F(Library, BoundaryCarriesTheTickCount) {
  EXPECT_EQ(strncmp(Boundary, "=====_KOV", 9), 0);
  ASSERT_EQ(kovAttach(1), 1);
  std::string b = Boundary;
  ASSERT_GT(b.size(), 15u);
  EXPECT_EQ(b.substr(0, 9), "=====_KOV");
  EXPECT_EQ(b.substr(b.size() - 6), "_=====");
  std::string ticks = b.substr(9, b.size() - 15);
  ASSERT_FALSE(ticks.empty());
  // A signed decimal without leading zeros: a tick count above 2^31 prints negative.
  size_t digits = ticks[0] == '-' ? 1 : 0;
  ASSERT_LT(digits, ticks.size());
  EXPECT_TRUE(ticks[digits] != '0' || ticks.size() == digits + 1) << ticks;
  EXPECT_EQ(ticks.find_first_not_of("0123456789", digits), std::string::npos) << ticks;
}

TEST_F(Library, ReleaseWritesItsLineLastAndFreesAllBlocks) {
  TempDir dir;
  ASSERT_EQ(kovAttach(3), 1);
  const std::string path1 = dir.File("one.log");
  const std::string path2 = dir.File("two.log");
  Channel(1).diag.LogHandle = platform::FileCreate(path1.c_str(), platform::LinkRule::kFollow);
  Channel(2).diag.LogHandle = platform::FileCreate(path2.c_str(), platform::LinkRule::kFollow);
  ASSERT_GE(Channel(1).diag.LogHandle, 2);
  ASSERT_GE(Channel(2).diag.LogHandle, 2);
  platform::FileWrite(Channel(1).diag.LogHandle, "first\r\n", 7);
  Channel(1).smtp.Subject = AllocAndCopy(1, kSubjectSlot, "hello");
  ASSERT_NE(Channel(1).smtp.Subject, nullptr);
  EXPECT_EQ(kovRelease(), 1);
  EXPECT_EQ(ReadFile(path1), "first\r\n*** Releasing channel 1 ***\r\n");
  EXPECT_EQ(ReadFile(path2), "*** Releasing channel 2 ***\r\n");
  for (int id = 0; id < 30; ++id) EXPECT_EQ(IsAllocated(static_cast<uint16_t>(id)), 0) << id;
}

}  // namespace
