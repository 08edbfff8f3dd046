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
  c.smtp.CurrentRcpt = c.smtp.RcptCursor;
  if (c.smtp.CurrentRcpt == nullptr || c.smtp.CurrentRcpt[0] == '\0') {
    c.link.NextState = Done;
    return kStepDone;
  }
  // The entry is used whole, blanks and brackets included.
  char* separator = const_cast<char*>(FindChar(c.smtp.CurrentRcpt, c.settings.AddressSep));
  if (separator != nullptr) {
    *separator = '\0';
    c.smtp.RcptCursor = separator + 1;
  } else {
    c.smtp.RcptCursor = c.smtp.CurrentRcpt + StringLength(c.smtp.CurrentRcpt);
  }
  SetTimers(c, now, 0, c.settings.MaxWait);
  c.link.NextState = VerifySend;
  return kStepDone;
}

int VerifySendStep(ChannelContext& c, uint32_t now, int) {
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "VRFY %s", c.smtp.CurrentRcpt != nullptr ? c.smtp.CurrentRcpt : "");
  return SendCommandLine(c, now, c.link.CommandBuffer, c.settings.MinWait, VerifyReply);
}

// A refusal (code 500 or more) only answers this name and the list goes on;
// a connection that failed ends the operation.
int VerifyReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (reply < 0 && reply != kSmtpError) return FailReply(c, reply);
  c.smtp.VerifyResult = reply == 0 && c.link.ReplyCode == 250 ? 1 : 0;
  c.link.NextState = VerifyNext;
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
  c.smtp.RcptCursor = AllocAndCopy(c.ChannelNumber, kToSlot, names);
  if (c.smtp.RcptCursor == nullptr) return kNoMemory;
  return VerifyNext;
}
