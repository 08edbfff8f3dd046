// The prelude every export that starts an operation goes through, once the
// export has found the channel's record: entry line, kind, argument checks,
// first state, timers, automatic driving. Where exports differ, the
// difference is an argument here.
#pragma once

#include "api/context.h"
#include "api/errors.h"
#include "api/log.h"
#include "engine/frame/settings.h"

// How an export's checks and start differ from the others'.
struct OperationRules {
  const char* name;  // the entry line "*** name"
  // The channel kind the call needs ('S', 'P') or sets (kSetsKind), 0 for none.
  char kind;
  enum KindRule { kNoKind, kNeedsKindFirst, kSetsKind } kindRule;
  int wrongKind;           // returned when a needed kind differs (before the entry line)
  bool needsConnection;    // -44 unless the channel holds its own connection (after the arguments)
  bool clearTimersManual;  // also clear the timers when the application drives (AutoCall 0)
};

// One step of the channel's operation: kovDriver's work, at `now` (the
// clock read once by the caller: once per kovDriver call, once per turn of
// the automatic loop). `fromLoop` tells that the automatic loop calls, which
// waits in the system between steps and lets the output of one line after
// another gather; otherwise the step returns to the application with its
// output handed to the system where a wait follows.
int DriverStep(ChannelContext& c, bool fromLoop, uint32_t now);

// kovDriver's call: one step at the time it starts, its log records
// written out before it returns.
int DriverCall(ChannelContext& c);

// What the channel's operation waits for after a step said so, for the
// automatic loop and for an application's event loop: the socket's slot (or
// -1: none to wait on), whether to wait until it is readable or writable, and
// how long at most (ms) before the next step must run: a timer, a deadline or
// a reader's limit; kNoWaitLimit when none bounds the wait.
struct WaitPlan {
  int slot;
  int kind;  // 0 (none), kWexlReadable or kWexlWritable
  uint32_t limitMs;
};
constexpr uint32_t kNoWaitLimit = 0xFFFFFFFFu;
WaitPlan PlanWait(const ChannelContext& c, uint32_t now);
// The plan as kovWaitInfo gives it to an application: the socket's handle
// (-1: none), KOV_WAIT_READ or KOV_WAIT_WRITE (0: none), and the ms to wait at
// most (0: call kovDriver now, -1: no limit).
void DescribeWait(const ChannelContext& c, int& socket, int& events, int& timeoutMs);

// Runs the steps until the operation ends (automatic driving), the log
// records gathered and written out at the end; the result is the last
// step's result (0 or negative).
int DriveToCompletion(ChannelContext& c);

// Whether the export may start: kind and entry line in the rules' order. 0,
// or the code the export returns.
int EnterOperation(ChannelContext& c, const OperationRules& rules);
// Starts the operation at `firstState`, with the settings the record took
// (TakeSettings), and, in automatic mode, drives it to its end: 0 in manual
// mode, else the automatic loop's result.
int StartOperation(ChannelContext& c, const OperationRules& rules, int firstState);

// The whole prelude. `prepare(c)` checks and stores the export's arguments and
// returns the first state, or 0 / a negative code that the export returns
// without starting. `finish(c, rc)` gives the export's result after automatic
// driving. The operation takes the process-wide settings before its
// arguments are checked, so that checks and steps judge by the same values;
// a call that does not start gives an operation still running on the channel
// (stepped) its own settings back.
template <class Prepare, class Finish>
int RunOperation(ChannelContext& c, const OperationRules& rules, Prepare prepare, Finish finish) {
  if (int rc = EnterOperation(c, rules)) return rc;
  const OperationSettings running = c.settings;
  TakeSettings(c);
  int first = prepare(c);
  if (first > 0 && rules.needsConnection && !c.link.HoldsSlot) first = kNotConnected;
  if (first <= 0) {
    c.settings = running;
    return first;
  }
  int rc = StartOperation(c, rules, first);
  return c.link.AutoCall == 0 ? rc : finish(c, rc);
}

template <class Prepare>
int RunOperation(ChannelContext& c, const OperationRules& rules, Prepare prepare) {
  return RunOperation(c, rules, prepare, [](ChannelContext&, int rc) { return rc; });
}
