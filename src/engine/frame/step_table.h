// engine/frame/: the protocol driver shared by every operation: the step tables,
// the prelude that starts an operation, reply readers, connect, command and close.
//
// The step contract. A step runs one driver state for one kovDriver call:
// 1. It returns kStepDone, kStepNotYet (it waits: NextState unchanged, WaitFor names what for) or FailStep's result.
// 2. It sets NextState (Done ends the operation) and, after sending, the timers through SetTimers from `now`.
// 3. Its row names what the frame awaits first: writability, or a reply the frame reads and passes as `reply`.
// 4. A failed reply fails the step in the frame, unless the row lets the step judge it (OnBadReply::kStepJudges).
// 5. A step talks only on the channel's own connection (ChannelSlot), never on a slot it does not hold.
// 6. Adding a state: its label in states.h, one row in its phase's table, one static step function.
#pragma once

#include <cstdint>

#include "api/context.h"
#include "engine/frame/states.h"

constexpr int kStepDone = 0;
constexpr int kStepNotYet = 1;

// What the frame awaits before it runs a step.
enum class Await : uint8_t {
  kNothing,
  kWritable,     // room to write: the frame returns KOV_MORE until there is
  kSmtpReply,    // an SMTP reply, read with ReadSmtpReply
  kPop3Reply,    // a POP3 status line, read with ReadPop3Reply
  kChannelReply  // the reply reader of the channel's kind
};

// Whether a failed reply ends the operation in the frame or goes to the step.
enum class OnBadReply : uint8_t { kFail, kStepJudges };

// `reply`: the reader's result for a reply row (0 or, for kStepJudges rows, a
// negative code), 0 for other rows.
using StepFunction = int (*)(ChannelContext& c, uint32_t now, int reply);

struct StateStep {
  int state;
  Await await;
  StepFunction step;
  OnBadReply onBadReply = OnBadReply::kFail;
};

// What a waiting step waits for (LinkState::WaitFor), so that the
// automatic loop can block on it instead of polling.
enum WaitKind : uint8_t { kWaitNothing = 0, kWaitReadable = 1, kWaitWritable = 2, kWaitSlot = 3 };

// A step's "not yet": records what it waits for.
inline int NotYet(ChannelContext& c, WaitKind what) {
  c.link.WaitFor = what;
  return kStepNotYet;
}

// The phase tables, one per file.
struct StepTable {
  const StateStep* rows;
  int count;
};
extern const StepTable kConnectSteps;
extern const StepTable kSmtpSessionSteps;
extern const StepTable kSmtpAuthSteps;
extern const StepTable kSmtpVerifySteps;
extern const StepTable kControlSteps;
extern const StepTable kSmtpEnvelopeSteps;
extern const StepTable kComposeHeaderSteps;
extern const StepTable kComposeBodySteps;
extern const StepTable kComposeRawSteps;
extern const StepTable kComposeAttachSteps;
extern const StepTable kPop3SessionSteps;
extern const StepTable kPop3MailboxSteps;
extern const StepTable kPop3RetrieveSteps;
extern const StepTable kSmtpTlsSteps;
extern const StepTable kSmtpOAuthSteps;
extern const StepTable kPop3TlsSteps;
extern const StepTable kPop3OAuthSteps;

// Every phase table; the driver's lookup is built from these.
extern const StepTable* const kAllStepTables[];
extern const int kStepTableCount;

// The row of a state, or null for a number without one.
const StateStep* FindStep(int state);
