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

// How long until the step must run whatever the socket does: the timer, the
// limit of a reply still arriving, or one past the deadline (so that the
// next step reports the time-out).
uint32_t TimeLeft(const ChannelContext& c, uint32_t now) {
  const uint32_t elapsed = now - c.link.TimerStart;
  if (elapsed < c.link.NotBefore) return c.link.NotBefore - elapsed;
  if (c.link.ReplyPending) {
    const int32_t left = static_cast<int32_t>(c.link.ReplyWakeAt - now);
    return left > 0 ? static_cast<uint32_t>(left) : 0;
  }
  if (c.link.Deadline == 0) return kNoWaitLimit;
  return c.link.Deadline >= elapsed ? c.link.Deadline - elapsed + 1 : 0;
}

// Waits as the step that ran at `now` asked; a step that made progress asks
// for no wait at all.
void WaitBeforeNextStep(const ChannelContext& c, uint32_t now) {
  const WaitPlan plan = PlanWait(c, now);
  const uint32_t limit = plan.limitMs == kNoWaitLimit ? kUnboundedWaitSlice : plan.limitMs;
  if (plan.kind != 0) {
    WexlWaitReady(plan.slot, plan.kind, limit);
  } else if (limit > 0) {
    // A timer, or no connection: nothing can change before the limit.
    platform::SleepMs(limit);
  }
}

}  // namespace

WaitPlan PlanWait(const ChannelContext& c, uint32_t now) {
  WaitPlan plan{-1, 0, TimeLeft(c, now)};
  const bool timer = now - c.link.TimerStart < c.link.NotBefore;
  // A step that made progress waits for nothing: the next one runs at once.
  if (!timer && c.link.WaitFor != kWaitReadable && c.link.WaitFor != kWaitWritable) plan.limitMs = 0;
  if (timer || !c.link.HoldsSlot) return plan;
  if (c.link.WaitFor == kWaitReadable) plan.kind = kWexlReadable;
  if (c.link.WaitFor == kWaitWritable) plan.kind = kWexlWritable;
  if (plan.kind != 0) plan.slot = ChannelSlot(c);
  // A connect that tries several addresses looks again when the next one is due.
  const uint32_t connectDue = WexlConnectWakeIn(plan.slot, now);
  if (plan.kind == kWexlWritable && connectDue < plan.limitMs) plan.limitMs = connectDue;
  return plan;
}

int DriverCall(ChannelContext& c) {
  HoldLog(c);
  const int rc = DriverStep(c, false, platform::TickCount());
  FlushLog(c);
  return rc;
}

int DriveToCompletion(ChannelContext& c) {
  HoldLog(c);
  for (;;) {
    const uint32_t now = platform::TickCount();
    int rc = DriverStep(c, true, now);
    if (rc <= 0) {
      FlushLog(c);
      return rc;
    }
    WaitBeforeNextStep(c, now);
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
  c.link.ReplyPending = 0;
  c.link.UnreadCheckDue = 1;
  if (c.link.AutoCall == 0 && !rules.clearTimersManual) return 0;
  c.link.NotBefore = 0;
  c.link.Deadline = 0;
  return c.link.AutoCall == 0 ? 0 : DriveToCompletion(c);
}

void DescribeWait(const ChannelContext& c, int& socket, int& events, int& timeoutMs) {
  const WaitPlan plan = PlanWait(c, platform::TickCount());
  int kind = plan.kind;
  const int handle = kind != 0 ? WexlWaitTarget(plan.slot, &kind) : -1;
  socket = kind != 0 ? handle : -1;
  events = kind == kWexlReadable ? KOV_WAIT_READ : kind == kWexlWritable ? KOV_WAIT_WRITE : 0;
  // Ready already (bytes buffered, nothing to wait on): call kovDriver now.
  const bool now = plan.kind != 0 && kind == 0;
  timeoutMs = now ? 0 : plan.limitMs == kNoWaitLimit ? -1 : static_cast<int>(plan.limitMs);
}
