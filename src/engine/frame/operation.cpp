// The start of an operation and automatic driving: the entry points run the
// driver's steps until the operation ends. After a step that made progress
// the next one follows at once; otherwise the loop waits without spinning: it
// sleeps until the step's timer allows the next step, or blocks on the socket
// until the server has answered (or room to write appeared), bounded by the
// step's deadline.
#include "engine/frame/operation.h"

#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

// How long one blocking wait may last when the step has no deadline.
constexpr uint32_t kUnboundedWaitSlice = 1000;

void WaitBeforeNextStep(const ChannelContext& c) {
  const uint32_t elapsed = platform::TickCount() - c.link.TimerStart;
  if (elapsed < c.link.NotBefore) {
    platform::SleepMs(c.link.NotBefore - elapsed);
    return;
  }
  if (c.link.WaitFor == kWaitReadable || c.link.WaitFor == kWaitWritable) {
    // One past the deadline, so that the next step reports the time-out.
    uint32_t limit = c.link.Deadline == 0 ? kUnboundedWaitSlice : c.link.Deadline >= elapsed ? c.link.Deadline - elapsed + 1 : 0;
    if (c.link.HoldsSlot) {
      WexlWaitReady(ChannelSlot(c), c.link.WaitFor, limit);
    } else {
      platform::SleepMs(limit);  // without a connection nothing can change before the deadline
    }
  }
}

}  // namespace

int DriveToCompletion(ChannelContext& c) {
  for (;;) {
    int rc = DriverStep(c, true);
    if (rc <= 0) return rc;
    WaitBeforeNextStep(c);
  }
}

int EnterOperation(ChannelContext& c, const OperationRules& rules) {
  if (rules.kindRule == OperationRules::kSetsKind) c.link.ChannelKind = rules.kind;
  if (rules.kindRule == OperationRules::kNeedsKindFirst && c.link.ChannelKind != rules.kind) return rules.wrongKind;
  LogEntry(c, rules.name);
  return 0;
}

int StartOperation(ChannelContext& c, const OperationRules& rules, int firstState) {
  c.link.NextState = firstState;
  c.link.AfterConnectState = 0;
  c.link.LastSockCode = 0;
  if (c.link.AutoCall == 0 && !rules.clearTimersManual) return 0;
  c.link.NotBefore = 0;
  c.link.Deadline = 0;
  return c.link.AutoCall == 0 ? 0 : DriveToCompletion(c);
}
