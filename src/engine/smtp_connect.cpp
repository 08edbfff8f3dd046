// kovSmtpConnect: the greeting and HELO/EHLO states (200 to 203).
#include <cstdio>
#include <cstring>

#include "api/channels.h"
#include "api/errors.h"
#include "api/log.h"
#include "api/settings.h"
#include "codec/address.h"
#include "codec/strings.h"
#include "engine/driver.h"
#include "engine/smtp.h"
#include "engine/states.h"
#include "engine/steps.h"
#include "kov32.h"
#include "net/connections.h"

namespace {

// "EHLO domain" or "HELO domain": the domain of the sender's address, or the
// default domain when the address has no '@'.
void BuildHello(ChannelContext& c) {
  const char* word = c.UseEhlo ? "EHLO" : "HELO";
  const char* at = FindChar(c.FromAddress, '@');
  snprintf(c.CommandBuffer, sizeof c.CommandBuffer, "%s %s", word, at != nullptr ? at + 1 : kDefaultHeloDomain);
  if (at != nullptr) {
    char* close = strchr(c.CommandBuffer + 5, '>');
    if (close != nullptr) *close = '\0';
  }
}

}  // namespace

int CheckAngleAddress(ChannelContext& c, const char* address, bool listMode) {
  if (address == nullptr || address[0] == '\0') return kEmptyAddress;
  const char separator = listMode ? gSettings.AddressSep : '\0';
  const char* open = FindBeforeSeparator(address, '<', separator);
  const char* close = FindBeforeSeparator(address, '>', separator);
  if (open == nullptr) return FailStep(c, 0, kMissingOpenBracket);
  if (close == nullptr || close < open) return kMissingCloseBracket;
  return 0;
}

int StepSmtpStart(ChannelContext& c, uint32_t) {
  LogVersionLines(c);
  c.NextState = LocalHost;
  c.AfterConnectState = SmtpGreeting;
  return 0;
}

int StepSmtpGreeting(ChannelContext& c, uint32_t now) {
  int rc = AwaitSmtpReply(c);
  if (rc == kNotYet) return 0;
  if (rc < 0) return rc;
  SetTimers(c, now, gSettings.MinWait, gSettings.MaxWait);
  c.NextState = SmtpHello;
  return 0;
}

int StepSmtpHello(ChannelContext& c, uint32_t now) {
  c.TextBytesOut = c.AttachBytesOut = c.TextBytesIn = c.AttachBytesIn = 0;
  BuildHello(c);
  WexlWaitWritable(static_cast<int>(c.SlotNumber), 1000);
  return SendCommandLine(c, now, c.CommandBuffer, 2 * gSettings.MinWait + 200, SmtpHelloReply);
}

int StepSmtpHelloReply(ChannelContext& c, uint32_t) {
  int rc = AwaitSmtpReply(c);
  if (rc == kNotYet) return 0;
  if (rc < 0) return rc;
  c.NextState = c.UseEhlo ? ChooseAuthState(c.ReplyBuffer) : Done;
  return 0;
}

extern "C" KOV_API int KOV_CALL kovSmtpConnect(int channel, const char* server, const char* from, const char* replyTo) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  c.ChannelKind = 'S';
  LogEntry(c, "kovSmtpConnect");
  if (server == nullptr) return kServerNotSpecified;
  if (from == nullptr) return kFromNull;
  if (!ValidServerName(server)) return kBadServerName;
  BoundedCopy(c.ReplyTo, replyTo != nullptr ? replyTo : "", 128);
  BoundedCopy(c.ServerName, server, 128);
  if (int rc = CheckAngleAddress(c, from, false)) return rc;
  BoundedCopy(c.FromAddress, from, 128);
  c.ConnectPort = c.SmtpPort;
  c.WaitWritable = 0;
  StartOperation(c, SmtpStart);
  c.AttachmentsSaved = 0;
  if (c.HoldsSlot) WexlResetBuffer(static_cast<int>(c.SlotNumber));
  c.NotBefore = 0;
  c.Deadline = 0;
  if (c.AutoCall == 0) return 0;
  return DriveToCompletion(channel);
}
