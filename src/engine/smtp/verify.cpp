// What kovVerifyUser runs: one VRFY per entry of a name list (states 270 to
// 272).
#include <cstdio>
#include <iterator>

#include "api/blocks.h"
#include "api/errors.h"
#include "codec/strings.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/smtp/smtp.h"

namespace {

int VerifyNextStep(ChannelContext& c, uint32_t now, int) {
  c.CurrentRcpt = c.RcptCursor;
  if (c.CurrentRcpt == nullptr || c.CurrentRcpt[0] == '\0') {
    c.NextState = Done;
    return kStepDone;
  }
  // The entry is used whole, blanks and brackets included.
  char* separator = const_cast<char*>(FindChar(c.CurrentRcpt, gSettings.AddressSep));
  if (separator != nullptr) {
    *separator = '\0';
    c.RcptCursor = separator + 1;
  } else {
    c.RcptCursor = c.CurrentRcpt + StringLength(c.CurrentRcpt);
  }
  SetTimers(c, now, 0, gSettings.MaxWait);
  c.NextState = VerifySend;
  return kStepDone;
}

int VerifySendStep(ChannelContext& c, uint32_t now, int) {
  snprintf(c.CommandBuffer, sizeof c.CommandBuffer, "VRFY %s", c.CurrentRcpt != nullptr ? c.CurrentRcpt : "");
  return SendCommandLine(c, now, c.CommandBuffer, gSettings.MinWait, VerifyReply);
}

// A refusal (code 500 or more) only answers this name and the list goes on;
// a connection that failed ends the operation.
int VerifyReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (reply < 0 && reply != kSmtpError) return FailReply(c, reply);
  c.VerifyResult = reply == 0 && c.ReplyCode == 250 ? 1 : 0;
  c.NextState = VerifyNext;
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {VerifyNext, Await::kNothing, VerifyNextStep},
    {VerifySend, Await::kWritable, VerifySendStep},
    {VerifyReply, Await::kSmtpReply, VerifyReplyStep, OnBadReply::kStepJudges},
};

}  // namespace

extern const StepTable kSmtpVerifySteps = {kRows, static_cast<int>(std::size(kRows))};

int PrepareVerify(ChannelContext& c, const char* names) {
  c.RcptCursor = AllocAndCopy(c.ChannelNumber, kToSlot, names);
  if (c.RcptCursor == nullptr) return kNoMemory;
  return VerifyNext;
}
