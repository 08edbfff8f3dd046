// kovDriver: the step frame (timers, what a row awaits, reading the reply,
// state lines) around the step of the state, found through the step tables.
#include <iterator>

#include "api/channels.h"
#include "api/errors.h"
#include "api/log.h"
#include "engine/readers.h"
#include "engine/step_io.h"
#include "engine/step_table.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

const DriverState kAllStates[] = {
#define KOV_STATE_LABEL(name, number) name,
    KOV_DRIVER_STATES(KOV_STATE_LABEL)
#undef KOV_STATE_LABEL
};
const int kStateCount = static_cast<int>(std::size(kAllStates));

const StepTable* const kAllStepTables[] = {
    &kConnectSteps,      &kSmtpSessionSteps,   &kSmtpAuthSteps,    &kSmtpVerifySteps,   &kControlSteps,
    &kSmtpEnvelopeSteps, &kComposeHeaderSteps, &kComposeBodySteps, &kComposeAttachSteps};
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

int ReadReply(ChannelContext& c, Await await) {
  bool smtp = await == Await::kSmtpReply || (await == Await::kChannelReply && c.ChannelKind == kSmtpChannel);
  return smtp ? ReadSmtpReply(c) : ReadPop3Reply(c);
}

// The bookkeeping of a step that ran or waits: kovDriver returns NextState.
int EndStep(ChannelContext& c) {
  c.PrevState = c.ThisState;
  c.ThisState = -1;
  return c.NextState;
}

// Runs the row's step, with the reply it awaits read first.
int RunRow(ChannelContext& c, const StateStep& row, uint32_t now) {
  int reply = 0;
  if (AwaitsReply(row.await)) {
    if (WexlWaitReadable(ChannelSlot(c), 0) != 1) {
      c.WaitFor = kWaitReadable;
      return EndStep(c);
    }
    reply = ReadReply(c, row.await);
    if (reply < 0 && row.onBadReply == OnBadReply::kFail) return FailReply(c, reply);
  }
  int rc = row.step(c, now, reply);
  if (rc < 0) return rc;
  // No free socket slot: the caller hears -7 and the state stays, so that a later call tries again.
  if (rc == kStepNotYet && c.WaitFor == kWaitSlot) return kInvalidSocket;
  return EndStep(c);
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

extern "C" KOV_API int KOV_CALL kovDriver(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  c.CommandBuffer[0] = '\0';
  c.ReplyBuffer[0] = '\0';
  c.WaitFor = kWaitNothing;
  const uint32_t now = platform::TickCount();
  const uint32_t elapsed = now - c.TimerStart;
  if (elapsed < c.NotBefore) {
    platform::SleepMs(0);
    return KOV_MORE;
  }
  if (c.Deadline != 0 && elapsed > c.Deadline) return FailStep(c, 0, kTimedOut);
  const StateStep* row = FindStep(c.NextState);
  // A row that talks on the connection cannot run without one: end the
  // operation rather than wait for what can never come.
  if (row != nullptr && row->await != Await::kNothing && !c.HoldsSlot) return FailStep(c, 0, kNotConnected);
  if (row != nullptr && row->await == Await::kWritable && WexlReady(ChannelSlot(c), kWexlWritable) != 1) {
    c.WaitFor = kWaitWritable;
    platform::SleepMs(0);
    return KOV_MORE;
  }
  c.ThisState = c.NextState;
  if (c.ThisState > 0) ++c.StepCount;
  if (c.ThisState != c.PrevState) LogFormat(c, "<%3d:%ld>\r\n", c.ThisState, static_cast<long>(now));
  if (c.ThisState == Done) {
    c.ThisState = -1;
    c.NotBefore = 0;
    c.Deadline = 0;
    return 0;
  }
  if (row == nullptr) {
    // No step can ever run: end the operation rather than return the same state for ever.
    LogFormat(c, "ERROR! Unknown state %d\r\n", c.ThisState);
    return FailStep(c, 0, kBadStatusFlag);
  }
  return RunRow(c, *row, now);
}
