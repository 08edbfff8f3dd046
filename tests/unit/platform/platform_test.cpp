// The platform layer's promises that the engine relies on, identical on both
// systems: handle values, failed opens, file round trips, memory, time,
// and sockets errors reported as Windows Sockets numbers.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/sockets.h"
#include "support/temp_dir.h"

namespace {

TEST(PlatformFiles, CreateWriteReadClose) {
  TempDir dir;
  const std::string path = dir.File("data.bin");
  int h = platform::FileCreate(path.c_str());
  ASSERT_GE(h, 2);
  EXPECT_EQ(platform::FileWrite(h, "abc\0def", 7), 7);
  EXPECT_EQ(platform::FileClose(h), 0);

  h = platform::FileOpenRead(path.c_str());
  ASSERT_GE(h, 2);
  char buffer[16];
  EXPECT_EQ(platform::FileRead(h, buffer, sizeof buffer), 7);
  EXPECT_EQ(memcmp(buffer, "abc\0def", 7), 0);
  EXPECT_EQ(platform::FileRead(h, buffer, sizeof buffer), 0);
  EXPECT_EQ(platform::FileClose(h), 0);

  // Creating an existing file empties it.
  h = platform::FileCreate(path.c_str());
  ASSERT_GE(h, 2);
  platform::FileClose(h);
  EXPECT_EQ(ReadFile(path), "");
}

TEST(PlatformFiles, FailuresAreNegative) {
  TempDir dir;
  EXPECT_LT(platform::FileOpenRead(dir.File("missing.txt").c_str()), 0);
  EXPECT_LT(platform::FileCreate(dir.File("no-such-dir/x.txt").c_str()), 0);
  EXPECT_LT(platform::FileOpenRead(nullptr), 0);
  EXPECT_LT(platform::FileCreate(nullptr), 0);
}

TEST(PlatformMemory, ZeroFilledAndLockable) {
  uintptr_t h = platform::MemAllocZero(4096);
  ASSERT_NE(h, 0u);
  auto* p = static_cast<unsigned char*>(platform::MemLock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
  platform::MemUnlock(h);
  platform::MemFree(h);
}

TEST(PlatformTime, TicksMoveForwardAcrossASleep) {
  uint32_t before = platform::TickCount();
  platform::SleepMs(40);
  uint32_t elapsed = platform::TickCount() - before;
  EXPECT_GE(elapsed, 20u);  // coarse clocks (Wine: ~16 ms steps) allowed for
  EXPECT_LT(elapsed, 5000u);
}

TEST(PlatformTime, LocalTimeFieldsAreInRange) {
  platform::LocalTime t{};
  platform::GetLocalTimeInfo(t);
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
  EXPECT_TRUE(t.dayOfWeek >= 0 && t.dayOfWeek <= 6);
  EXPECT_TRUE(t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23);
  EXPECT_TRUE(t.minute >= 0 && t.minute <= 59);
  EXPECT_TRUE(t.biasMinutes >= -14 * 60 && t.biasMinutes <= 12 * 60);
}

TEST(PlatformLock, EnterAndLeave) {
  platform::Lock lock;
  platform::LockInit(lock);
  platform::LockEnter(lock);
  platform::LockLeave(lock);
  platform::LockDelete(lock);
}

class PlatformSockets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(platform::NetStartup(nullptr, 0), 0); }
};

TEST_F(PlatformSockets, RefusedConnectIsErrorNumber10061) {
  int s = platform::SocketOpenTcp();
  ASSERT_GE(s, 2);
  // Port 1 on loopback: nothing listens there on a test machine.
  EXPECT_EQ(platform::SocketConnect(s, 0x7f000001u, 1), 10061);
  EXPECT_EQ(platform::NetLastError(), 10061);
  EXPECT_EQ(platform::SocketClose(s), 0);
}

TEST_F(PlatformSockets, LocalhostResolvesToLoopback) {
  uint8_t address[4] = {};
  ASSERT_EQ(platform::NetLookupHost("localhost", address), 0);
  EXPECT_EQ(address[0], 127);
}

}  // namespace
