// Automatic driving: the entry points run kovDriver until the operation ends.
// Between steps the loop waits without spinning: it sleeps until the step's
// timer allows the next step, or blocks on the socket until the server has
// answered (or room to write appeared), bounded by the step's deadline.
#include "api/channels.h"
#include "api/settings.h"
#include "engine/driver.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

// How long one blocking wait may last when the step has no deadline.
constexpr uint32_t kUnboundedWaitSlice = 1000;

void WaitBeforeNextStep(const ChannelContext& c) {
  const uint32_t now = platform::TickCount();
  if (c.NotBefore > now) {
    platform::SleepMs(c.NotBefore - now);
    return;
  }
  if (c.WaitFor != 0) {
    // One past the deadline, so that the next step reports the time-out.
    uint32_t limit = c.Deadline == 0 ? kUnboundedWaitSlice : c.Deadline >= now ? c.Deadline - now + 1 : 0;
    if (c.HoldsSlot) {
      WexlWaitReady(static_cast<int>(c.SlotNumber), c.WaitFor, limit);
    } else {
      platform::SleepMs(limit);  // without a connection nothing can change before the deadline
    }
    return;
  }
  platform::SleepMs(0);
}

}  // namespace

int DriveToCompletion(int channel) {
  ChannelContext& c = Channel(channel);
  for (;;) {
    int rc = kovDriver(channel);
    if (rc <= 0) return rc;
    WaitBeforeNextStep(c);
  }
}

void StartOperation(ChannelContext& c, int firstState) {
  c.NextState = firstState;
  c.AfterConnectState = 0;
  c.LastSockCode = 0;
}
