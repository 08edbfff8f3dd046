#include "support/driver_fixture.h"

#include "codec/strings.h"
#include "engine/frame/operation.h"
#include "engine/frame/states.h"
#include "engine/frame/step_table.h"
#include "kov32.h"
#include "platform/platform.h"

// The connect states alone, started the way the entry points start them.
const OperationRules kConnectOnly = {"test", 0, OperationRules::kNoKind, 0, false, true};

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
  return Finish(channel, StartOperation(c, kConnectOnly, LocalHost));
}

int DriverTest::Finish(int channel, int entryResult) {
  states.clear();
  if (!Manual() || entryResult != 0) return entryResult;
  return DriveByHand(channel, states);
}

int DriveByHand(int channel, std::vector<int>& states) {
  const uint32_t start = platform::TickCount();
  for (;;) {
    int rc = kovDriver(channel);
    if (rc == KOV_MORE || (!states.empty() && states.back() == rc)) {
      // Waiting: poll again soon, but never for ever. A state that repeats
      // while it makes progress (a message read line by line) goes on at once.
      if (platform::TickCount() - start > 20000) return -9999;
      if (rc == KOV_MORE || Channel(channel).link.WaitFor != kWaitNothing) platform::SleepMs(1);
      continue;
    }
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
