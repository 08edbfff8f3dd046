// The platform layer's promises that the engine relies on, identical on both
// systems: handle values, failed opens, file round trips, only regular files
// opened, links refused, memory, time and its wrap, mutual exclusion, and
// sockets errors reported as Windows Sockets numbers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sockets.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(PlatformFiles, CreateWriteReadClose) {
  TempDir dir;
  const std::string path = dir.File("data.bin");
  int h = platform::FileCreate(path.c_str(), platform::LinkRule::kFollow);
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
  h = platform::FileCreate(path.c_str(), platform::LinkRule::kFollow);
  ASSERT_GE(h, 2);
  platform::FileClose(h);
  EXPECT_EQ(ReadFile(path), "");
}

TEST(PlatformFiles, FailuresAreNegative) {
  TempDir dir;
  EXPECT_LT(platform::FileOpenRead(dir.File("missing.txt").c_str()), 0);
  EXPECT_LT(platform::FileCreate(dir.File("no-such-dir/x.txt").c_str(), platform::LinkRule::kFollow), 0);
  EXPECT_LT(platform::FileOpenRead(nullptr), 0);
  EXPECT_LT(platform::FileCreate(nullptr, platform::LinkRule::kFollow), 0);
}

// Only regular files open: a directory or a device is refused for reading and
// for writing, and stays as it is.
TEST(PlatformFiles, OnlyRegularFilesOpen) {
  TempDir dir;
#ifdef _WIN32
  const char* device = "NUL";
#else
  const char* device = "/dev/null";
#endif
  for (const std::string& path : {dir.Path(), std::string(device)}) {
    EXPECT_LT(platform::FileOpenRead(path.c_str()), 0) << path;
    for (platform::LinkRule rule : {platform::LinkRule::kFollow, platform::LinkRule::kRefuse}) {
      EXPECT_LT(platform::FileCreate(path.c_str(), rule), 0) << path;
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
}

// A link (on Windows, a reparse point) is refused only when asked; followed,
// its target is emptied.
TEST(PlatformFiles, LinksAreRefusedWhenAsked) {
  TempDir dir;
  std::ofstream(dir.File("target")) << "keep";
#ifdef _WIN32
  // The C++ library makes no links on this system; the kernel may (Wine 8
  // answers success and makes none: the attribute tells).
  const bool made = CreateSymbolicLinkA(dir.File("link").c_str(), dir.File("target").c_str(), 0) != 0 &&
                    GetFileAttributesA(dir.File("link").c_str()) != INVALID_FILE_ATTRIBUTES &&
                    (GetFileAttributesA(dir.File("link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
  std::error_code error;
  std::filesystem::create_symlink(dir.File("target"), dir.File("link"), error);
  const bool made = !error;
#endif
  if (!made) GTEST_SKIP() << "this system makes no symbolic link here";
  EXPECT_LT(platform::FileCreate(dir.File("link").c_str(), platform::LinkRule::kRefuse), 0);
  EXPECT_EQ(ReadFile(dir.File("target")), "keep");
  EXPECT_TRUE(std::filesystem::exists(dir.File("link")));
  const int h = platform::FileCreate(dir.File("link").c_str(), platform::LinkRule::kFollow);
  ASSERT_GE(h, 2);
  platform::FileClose(h);
  EXPECT_EQ(ReadFile(dir.File("target")), "");
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

TEST(PlatformTime, BiasPlacesTheCounterBeforeItsWrap) {
  // 20 ms before the wrap, then a sleep across it: every biased reading is
  // the system counter plus the bias, and the unsigned difference is still
  // the time that passed.
  const uint32_t start = platform::TickCount();
  const uint32_t bias = 0u - start - 20u;
  platform::SetTickBias(bias);
  const uint32_t before = platform::TickCount();
  platform::SleepMs(40);
  const uint32_t after = platform::TickCount();
  platform::SetTickBias(0);
  const uint32_t end = platform::TickCount();
  EXPECT_LE((before - bias) - start, end - start);
  EXPECT_LE((after - bias) - start, end - start);
  EXPECT_GE(after - before, 20u);  // coarse clocks allowed for, as above
  EXPECT_LT(after - before, 5000u);
}

TEST(PlatformLock, EnterAndLeaveExcludeOtherThreads) {
  platform::Lock lock;
  platform::LockInit(lock);
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  long counter = 0;  // not atomic: only the lock keeps increments from being lost
  std::atomic<int> waiting{kThreads};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      // All threads start together, so that their rounds overlap.
      waiting.fetch_sub(1);
      while (waiting.load() > 0) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) {
        platform::LockEnter(lock);
        long seen = counter;
        for (volatile int spin = 0; spin < 20; spin = spin + 1) {
        }  // widens the window in which a second thread could interfere
        counter = seen + 1;
        platform::LockLeave(lock);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  platform::LockDelete(lock);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

class PlatformSockets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(platform::NetStartup(nullptr, 0), 0); }
};

TEST_F(PlatformSockets, RefusedConnectIsErrorNumber10061) {
  int s = platform::SocketOpenTcp();
  ASSERT_GE(s, 2);
  // Port 1 on loopback: nothing listens there on a test machine.
  EXPECT_EQ(platform::SocketConnect(s, platform::Ipv4Address(0x7f000001u), 1), 10061);
  EXPECT_EQ(platform::NetLastError(), 10061);
  // The failure is an exception condition, and a wait for writability ends
  // at once instead of running out.
  EXPECT_TRUE(platform::SocketReady(s, platform::kException, 0));
  const uint32_t start = platform::TickCount();
  EXPECT_FALSE(platform::SocketReady(s, platform::kWritable, 2000));
  EXPECT_LT(platform::TickCount() - start, 1000u);
  EXPECT_EQ(platform::SocketClose(s), 0);
}

TEST_F(PlatformSockets, LocalhostResolvesToLoopback) {
  uint8_t address[4] = {};
  ASSERT_EQ(platform::NetLookupHost("localhost", address), 0);
  EXPECT_EQ(address[0], 127);
}

}  // namespace

namespace {

// In UTF-8 mode a file is created under its UTF-8 name (on Windows through
// the wide-character calls) and read back under it; the name on disk is
// the Unicode one.
TEST(PlatformFiles, Utf8NamesNameTheUnicodeFile) {
  TempDir dir;
  const std::string name = "\xE3\x81\xA6\xE3\x81\x99\xE3\x81\xA8 caf\xC3\xA9.txt";
  const std::string path = dir.Path() + "/" + name;
  platform::SetUtf8FileNames(true);
  const int handle = platform::FileCreate(path.c_str(), platform::LinkRule::kRefuse);
  ASSERT_GE(handle, 2);
  EXPECT_EQ(platform::FileWrite(handle, "x", 1), 1);
  EXPECT_EQ(platform::FileClose(handle), 0);
  const int again = platform::FileOpenRead(path.c_str());
  EXPECT_GE(again, 2);
  if (again >= 2) platform::FileClose(again);
  platform::SetUtf8FileNames(false);
  const std::filesystem::path expected =
      std::filesystem::path(dir.Path()) / std::filesystem::u8path(name);
  EXPECT_TRUE(std::filesystem::exists(expected));
}

// The converter knows the sets mail uses and keeps an unfinished sequence
// for the caller.
TEST(PlatformCharset, ConvertsAndKeepsAnUnfinishedSequence) {
  struct Case {
    const char* charset;
    const char* in;
    const char* out;
  } cases[] = {
      {"KOI8-R", "\xF0\xD2\xC9", "\xD0\x9F\xD1\x80\xD0\xB8"},
      {"windows-1251", "\xC6", "\xD0\x96"},
      {"ISO-8859-15", "\xA4", "\xE2\x82\xAC"},
      {"iso-8859-2", "\xA3", "\xC5\x81"},
      {"Shift_JIS", "\x82\xC4", "\xE3\x81\xA6"},
  };
  for (const Case& t : cases) {
    char out[32];
    const int n = platform::ConvertToUtf8(t.charset, t.in, static_cast<int>(strlen(t.in)), out, sizeof out, nullptr);
    EXPECT_EQ(std::string(out, n > 0 ? static_cast<size_t>(n) : 0), t.out) << t.charset;
  }
  char out[32];
  int used = -1;
  EXPECT_EQ(platform::ConvertToUtf8("UTF-8", "a\xE3\x81", 3, out, sizeof out, &used), 1);
  EXPECT_EQ(used, 1);
  EXPECT_EQ(platform::ConvertToUtf8("x-no-such-set", "a", 1, out, sizeof out, nullptr), -1);
}

}  // namespace
