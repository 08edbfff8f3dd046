#include "support/library_fixture.h"

#include "kov32.h"
#include "net/connections.h"

void AttachedLibrary::SetUp() {
  saved_ = gSettings;
  gSettings.PollSleep = 2;  // the socket layer's poll interval, taken at attach
  ASSERT_EQ(kovAttach(4), 1);
  WexlSetClosePause(0);
}

void AttachedLibrary::TearDown() {
  for (int n = 0; n < ChannelCount(); ++n) kovAbort(n);
  kovRelease();
  WexlSetClosePause(500);
  gSettings = saved_;
}

std::string AttachedLibrary::OpenLog(int channel, const std::string& name) {
  std::string path = dir.File(name);
  EXPECT_GE(kovStringParam(channel, KOV_LOG_FILE, path.c_str()), 2);
  return path;
}
