#include "support/driver_fixture.h"

#include "codec/strings.h"
#include "engine/frame/operation.h"
#include "engine/frame/states.h"
#include "engine/frame/step_table.h"
#include "kov32.h"
#include "platform/platform.h"
#include "support/event_wait.h"

int StartStates(ChannelContext& c, int firstState) {
  static const OperationRules kStatesOnly = {"test", 0, OperationRules::kNoKind, 0, false, true};
  TakeSettings(c);
  return StartOperation(c, kStatesOnly, firstState);
}

void DriverTest::SetUp() {
  AttachedLibrary::SetUp();
  mode_ = GetParam();
  gSettings.MinWait = 1;
  gSettings.MaxWait = gSettings.SendWait = gSettings.ReadWait = 3000;
  gSettings.ConnectWait = 3000;
  if (Manual()) {
    for (int n = 0; n < ChannelCount(); ++n) kovIntegerParam(n, KOV_AUTO_CALL, 0);
  }
}

void DriverTest::Reply(LoopbackServer& server, const std::string& bytes) const {
  if (mode_ == DriveMode::kSlowServer) {
    server.SendSlowly(bytes);
  } else {
    server.Send(bytes);
  }
}

int DriverTest::Connect(int channel, LoopbackServer& server, char kind) {
  server.Start();
  ChannelContext& c = Channel(channel);
  c.link.ChannelKind = kind;
  BoundedCopy(c.link.ServerName, "127.0.0.1", 128);
  c.link.ConnectPort = static_cast<int16_t>(server.Port());
  return Finish(channel, StartStates(c, LocalHost));
}

int DriverTest::Finish(int channel, int entryResult) {
  states.clear();
  if (!Manual() || entryResult != 0) return entryResult;
  return DriveByHand(channel, states);
}

int DriveByHand(int channel, std::vector<int>& states) {
  const uint32_t start = platform::TickCount();
  for (;;) {
    const uint32_t before = platform::TickCount();
    int rc = kovDriver(channel);
    // No call waits in the system for the server, and only KOV_MORE means
    // waiting: a state number comes back only for a step that was done.
    EXPECT_LT(platform::TickCount() - before, kLongestDriverCallMs) << "a kovDriver call blocked";
    if (rc > 0 && rc != KOV_MORE) {
      EXPECT_EQ(Channel(channel).link.WaitFor, kWaitNothing) << "state " << rc;
    }
    if (platform::TickCount() - start > 20000) return -9999;
    if (rc == KOV_MORE) {
      EXPECT_TRUE(WaitAsTold(channel, 1000));
      continue;
    }
    // A state that repeats while it makes progress (a message read line by line) goes on at once.
    if (!states.empty() && states.back() == rc) continue;
    states.push_back(rc);
    if (rc <= 0) return rc;
  }
}

std::string DriveModeName(const ::testing::TestParamInfo<DriveMode>& info) {
  switch (info.param) {
    case DriveMode::kAutomatic:
      return "Automatic";
    case DriveMode::kManual:
      return "Manual";
    default:
      return "SlowServer";
  }
}
