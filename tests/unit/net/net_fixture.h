// What the socket layer's tests share: a started slot table with a short poll
// interval and no close pause, every slot closed again afterwards, and a
// helper that connects a slot to a scripted loopback server.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "net/connections.h"
#include "platform/platform.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

class NetTest : public ::testing::Test {
 protected:
  static constexpr int kPollMs = 2;

  void SetUp() override {
    ASSERT_EQ(WexlStartup(128, kPollMs), 1000);
    WexlSetClosePause(0);
  }
  void TearDown() override {
    for (int slot = 0; slot < WexlSlotCount(); ++slot) {
      WexlSetOption(slot, kOptionTrace, 0);
      WexlSetOption(slot, kOptionSendWait, 0);
      WexlClose(slot);
    }
    WexlShutdown();
  }

  // Starts the server's script and connects a new slot to it.
  static int Connect(LoopbackServer& server) {
    server.Start();
    int slot = WexlCreateSocket();
    EXPECT_GE(slot, 0);
    EXPECT_EQ(WexlConnect(slot, "127.0.0.1", server.Port()), 1000);
    return slot;
  }
};

// Milliseconds taken by a call, measured on the host clock.
template <typename Call>
long long ElapsedMs(Call call) {
  auto start = std::chrono::steady_clock::now();
  call();
  auto end = std::chrono::steady_clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
}

// A socket trace file registered for one slot; Text() ends the trace and
// gives what was written.
class TraceFile {
 public:
  explicit TraceFile(int slot)
      : slot_(slot), handle_(platform::FileCreate(dir_.File("trace.log").c_str(), platform::LinkRule::kFollow)) {
    EXPECT_GE(handle_, 2);
    WexlSetOption(slot_, kOptionTrace, handle_);
  }
  ~TraceFile() { Stop(); }
  std::string Text() {
    Stop();
    return ReadFile(dir_.File("trace.log"));
  }

 private:
  void Stop() {
    if (handle_ < 2) return;
    WexlSetOption(slot_, kOptionTrace, 0);
    platform::FileClose(handle_);
    handle_ = -1;
  }
  TempDir dir_;
  int slot_;
  int handle_;
};
