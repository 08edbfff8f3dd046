// kovVerifyUser: one VRFY per entry of a name list (states 270 to 272).
#include <cstdio>

#include "api/blocks.h"
#include "api/channels.h"
#include "api/errors.h"
#include "api/log.h"
#include "api/settings.h"
#include "codec/strings.h"
#include "engine/driver.h"
#include "engine/states.h"
#include "engine/steps.h"
#include "kov32.h"

int StepVerifyNext(ChannelContext& c, uint32_t now) {
  c.CurrentRcpt = c.RcptCursor;
  if (c.CurrentRcpt == nullptr || c.CurrentRcpt[0] == '\0') {
    c.NextState = Done;
    return 0;
  }
  // The entry is used whole, blanks and brackets included.
  char* separator = const_cast<char*>(FindChar(c.CurrentRcpt, gSettings.AddressSep));
  if (separator != nullptr) {
    *separator = '\0';
    c.RcptCursor = separator + 1;
  } else {
    c.RcptCursor = c.CurrentRcpt + StringLength(c.CurrentRcpt);
  }
  c.Deadline = now + static_cast<uint32_t>(gSettings.MaxWait);
  c.WaitWritable = 1;
  c.NextState = VerifySend;
  return 0;
}

int StepVerifySend(ChannelContext& c, uint32_t now) {
  snprintf(c.CommandBuffer, sizeof c.CommandBuffer, "VRFY %s", c.CurrentRcpt != nullptr ? c.CurrentRcpt : "");
  return SendCommandLine(c, now, c.CommandBuffer, gSettings.MinWait, VerifyReply);
}

int StepVerifyReply(ChannelContext& c, uint32_t) {
  if (!ReplyReady(c)) return 0;
  // A refusal only answers this name; the list goes on.
  c.VerifyResult = ReadSmtpReply(c) == 0 && c.ReplyCode == 250 ? 1 : 0;
  c.NextState = VerifyNext;
  return 0;
}

extern "C" KOV_API int KOV_CALL kovVerifyUser(int channel, const char* names) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  if (c.ChannelKind != 'S') return kSmtpOnly;
  LogEntry(c, "kovVerifyUser");
  if (names == nullptr || names[0] == '\0') return kNoRecipient;
  c.RcptCursor = AllocAndCopy(channel, kToSlot, names);
  if (c.RcptCursor == nullptr) return kNoMemory;
  StartOperation(c, VerifyNext);
  if (c.AutoCall == 0) return 0;
  c.NotBefore = 0;
  c.Deadline = 0;
  int rc = DriveToCompletion(channel);
  return rc < 0 ? rc : c.VerifyResult;
}
