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
  const uint32_t elapsed = platform::TickCount() - c.TimerStart;
  if (elapsed < c.NotBefore) {
    platform::SleepMs(c.NotBefore - elapsed);
    return;
  }
  if (c.WaitFor == kWaitReadable || c.WaitFor == kWaitWritable) {
    // One past the deadline, so that the next step reports the time-out.
    uint32_t limit = c.Deadline == 0 ? kUnboundedWaitSlice : c.Deadline >= elapsed ? c.Deadline - elapsed + 1 : 0;
    if (c.HoldsSlot) {
      WexlWaitReady(ChannelSlot(c), c.WaitFor, limit);
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
  if (rules.kindRule == OperationRules::kSetsKind) c.ChannelKind = rules.kind;
  if (rules.kindRule == OperationRules::kNeedsKindFirst && c.ChannelKind != rules.kind) return rules.wrongKind;
  LogEntry(c, rules.name);
  return 0;
}

int StartOperation(ChannelContext& c, const OperationRules& rules, int firstState) {
  c.NextState = firstState;
  c.AfterConnectState = 0;
  c.LastSockCode = 0;
  if (c.AutoCall == 0 && !rules.clearTimersManual) return 0;
  c.NotBefore = 0;
  c.Deadline = 0;
  return c.AutoCall == 0 ? 0 : DriveToCompletion(c);
}
