// One step of kovDriver: the frame (timers, what a row awaits, reading the
// reply, handing the output over, state lines) around the step of the state,
// found through the step tables.
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/strings.h"
#include "engine/frame/collect.h"
#include "engine/frame/operation.h"
#include "engine/frame/readers.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "files/file_out.h"
#include "kov32.h"
#include "net/connections.h"
#include "net/lineio.h"
#include "platform/platform.h"

const DriverState kAllStates[] = {
#define KOV_STATE_LABEL(name, number) name,
    KOV_DRIVER_STATES(KOV_STATE_LABEL)
#undef KOV_STATE_LABEL
};
const int kStateCount = static_cast<int>(std::size(kAllStates));

const StepTable* const kAllStepTables[] = {&kConnectSteps,       &kSmtpSessionSteps, &kSmtpAuthSteps,
                                           &kSmtpVerifySteps,    &kControlSteps,     &kSmtpEnvelopeSteps,
                                           &kComposeHeaderSteps, &kComposeBodySteps, &kComposeRawSteps, &kComposeAttachSteps,
                                           &kPop3SessionSteps,   &kPop3MailboxSteps, &kPop3RetrieveSteps,
                                           &kSmtpTlsSteps,       &kSmtpOAuthSteps,   &kPop3TlsSteps,
                                           &kPop3OAuthSteps};
const int kStepTableCount = static_cast<int>(std::size(kAllStepTables));

namespace {

// States are below this number; the lookup is one array index.
constexpr int kStateLimit = 512;

struct StepLookup {
  const StateStep* rows[kStateLimit] = {};
  StepLookup() {
    for (const StepTable* table : kAllStepTables) {
      for (int n = 0; n < table->count; ++n) {
        const StateStep& row = table->rows[n];
        if (row.state > 0 && row.state < kStateLimit) rows[row.state] = &row;
      }
    }
  }
};

bool AwaitsReply(Await await) { return await != Await::kNothing && await != Await::kWritable; }

int ReadReply(ChannelContext& c, Await await, uint32_t now) {
  bool smtp = await == Await::kSmtpReply || (await == Await::kChannelReply && c.link.ChannelKind == kSmtpChannel);
  return smtp ? ReadSmtpReply(c, now) : ReadPop3Reply(c, now);
}

// The bookkeeping of a step that ran or waits: kovDriver returns NextState.
int EndStep(ChannelContext& c) {
  c.link.PrevState = c.link.ThisState;
  c.link.ThisState = -1;
  return c.link.NextState;
}

// Whether the output must reach the system before a row runs, as far as it
// concerns the row: a row that reads needs everything sent before it handed
// over, a row that writes needs room for its line. 1 when the row may run, 0
// when the system has not taken enough yet, or the failed hand-over.
int OutputReady(const ChannelContext& c, const StateStep& row) {
  if (!c.link.HoldsSlot) return 1;
  if (row.await == Await::kWritable) return WexlCanSend(ChannelSlot(c));
  if (!AwaitsReply(row.await)) return 1;
  int rc = WexlFlush(ChannelSlot(c), 0);
  return rc < 0 ? rc : rc == kWexlOk ? 1 : 0;
}

// Whether what the step sent goes to the system now: when the operation
// ends or waits (for the peer, for room), when a pause follows, and before a
// reply is awaited. A step followed at once by the next one lets the output
// gather, whether the automatic loop or the application calls next: after a
// step that made progress the caller is told to call again without waiting.
bool OutputMustGo(const ChannelContext& c, uint32_t now) {
  if (c.link.WaitFor != kWaitNothing || c.link.NextState == Done) return true;
  if (now - c.link.TimerStart < c.link.NotBefore) return true;
  const StateStep* next = FindStep(c.link.NextState);
  return next == nullptr || AwaitsReply(next->await);
}

// After a step: its output handed over where it must go now (a failure fails
// the step as its send would have, -52), and the files written out when the
// operation ends (-1 when that fails). 0, or the failure's result.
int AfterStep(ChannelContext& c, uint32_t now) {
  if (c.link.HoldsSlot && OutputMustGo(c, now)) {
    int rc = WexlFlush(ChannelSlot(c), 0);
    if (rc < 0) return FailStep(c, rc, kWriteError);
  }
  if (c.link.NextState == Done && FlushOutFiles(c) < 0) return FailStep(c, 0, kWexlClosed);
  return 0;
}

// A step that waits (for a reply, for data, for room to write) ends with its
// bookkeeping and tells the caller to wait: KOV_MORE, not a state number, so
// that a caller never mistakes waiting for progress.
int Waiting(ChannelContext& c, WaitKind what) {
  c.link.WaitFor = what;
  EndStep(c);
  return KOV_MORE;
}

// Runs the row's step, with the reply it awaits read first.
int RunRow(ChannelContext& c, const StateStep& row, uint32_t now) {
  int reply = 0;
  if (AwaitsReply(row.await)) {
    if (!c.link.ReplyPending && WexlWaitReadable(ChannelSlot(c), 0) != 1) return Waiting(c, kWaitReadable);
    reply = ReadReply(c, row.await, now);
    if (reply == kReplyPending) return Waiting(c, kWaitReadable);
    if (reply < 0 && row.onBadReply == OnBadReply::kFail) return FailReply(c, reply);
  }
  int rc = row.step(c, now, reply);
  if (rc < 0) return rc;
  // No free socket slot: the caller hears -7 and the state stays, so that a later call tries again.
  if (rc == kStepNotYet && c.link.WaitFor == kWaitSlot) return kInvalidSocket;
  if (int failed = AfterStep(c, now)) return failed;
  const int next = EndStep(c);
  return rc == kStepNotYet ? KOV_MORE : next;
}

// The application's loop gets the processor back between its calls; the
// automatic loop waits in the system instead.
int CallAgain(bool fromLoop) {
  if (!fromLoop) platform::SleepMs(0);
  return KOV_MORE;
}

}  // namespace

const StateStep* FindStep(int state) {
  static const StepLookup lookup;
  return state > 0 && state < kStateLimit ? lookup.rows[state] : nullptr;
}

const char* StateName(int state) {
  switch (state) {
#define KOV_STATE_NAME(name, number) \
  case number:                       \
    return #name;
    KOV_DRIVER_STATES(KOV_STATE_NAME)
#undef KOV_STATE_NAME
    default:
      return "?";
  }
}

int DriverStep(ChannelContext& c, bool fromLoop, uint32_t now) {
  c.link.CommandBuffer[0] = '\0';
  // A reply still arriving keeps what came of it; its reader judges its limits.
  if (!c.link.ReplyPending) c.link.ReplyBuffer[0] = '\0';
  c.link.WaitFor = kWaitNothing;
  const uint32_t elapsed = now - c.link.TimerStart;
  if (elapsed < c.link.NotBefore) return CallAgain(fromLoop);
  if (c.link.Deadline != 0 && elapsed > c.link.Deadline && !c.link.ReplyPending) return FailStep(c, 0, kTimedOut);
  const StateStep* row = FindStep(c.link.NextState);
  // A row that talks on the connection cannot run without one: end the
  // operation rather than wait for what can never come.
  if (row != nullptr && row->await != Await::kNothing && !c.link.HoldsSlot) return FailStep(c, 0, kNotConnected);
  if (row != nullptr) {
    const int ready = OutputReady(c, *row);
    if (ready < 0) return FailStep(c, ready, kWriteError);
    if (ready == 0) {
      c.link.WaitFor = kWaitWritable;
      return CallAgain(fromLoop);
    }
  }
  c.link.ThisState = c.link.NextState;
  if (c.link.ThisState > 0) c.link.StepCount = SaturatingAdd(c.link.StepCount, 1);
  if (c.link.ThisState != c.link.PrevState) LogFormat(c, "<%3d:%ld>\r\n", c.link.ThisState, static_cast<long>(now));
  if (c.link.ThisState == Done) {
    c.link.ThisState = -1;
    c.link.NotBefore = 0;
    c.link.Deadline = 0;
    return 0;
  }
  if (row == nullptr) {
    // No step can ever run: end the operation rather than return the same state for ever.
    LogFormat(c, "ERROR! Unknown state %d\r\n", c.link.ThisState);
    return FailStep(c, 0, kBadStatusFlag);
  }
  return RunRow(c, *row, now);
}
