// The SMTP session kovSmtpConnect starts: the greeting and HELO/EHLO states
// (200 to 203).
#include <cstdio>
#include <cstring>
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/address.h"
#include "codec/strings.h"
#include "engine/frame/secure.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/smtp/smtp.h"
#include "net/connections.h"

namespace {

// How long the greeting step waits for room to send EHLO/HELO before it
// tries anyway: the socket has just connected, so this is rarely needed.
constexpr int kHelloWritableWaitMs = 1000;

// A session with TLS greets with EHLO: only EHLO learns of STARTTLS and of
// the login mechanisms.
bool GreetsWithEhlo(const ChannelContext& c) { return c.smtp.UseEhlo != 0 || c.security.TlsMode != 0; }

// "EHLO domain" or "HELO domain": the domain of the sender's address, or the
// default domain when the address has no '@'.
void BuildHello(ChannelContext& c) {
  const char* word = GreetsWithEhlo(c) ? "EHLO" : "HELO";
  const char* at = FindChar(c.smtp.FromAddress, '@');
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "%s %s", word, at != nullptr ? at + 1 : kDefaultHeloDomain);
  if (at != nullptr) {
    char* close = strchr(c.link.CommandBuffer + 5, '>');
    if (close != nullptr) *close = '\0';
  }
}

int SmtpStartStep(ChannelContext& c, uint32_t, int) {
  LogVersionLines(c);
  c.link.NextState = LocalHost;
  c.link.AfterConnectState = c.security.TlsMode == 2 ? SmtpTlsConnect : SmtpGreeting;
  return kStepDone;
}

int GreetingStep(ChannelContext& c, uint32_t now, int) {
  SetTimers(c, now, c.settings.MinWait, c.settings.MaxWait);
  c.link.NextState = SmtpHello;
  return kStepDone;
}

int HelloStep(ChannelContext& c, uint32_t now, int) {
  c.diag.TextBytesOut = c.diag.AttachBytesOut = c.diag.TextBytesIn = c.diag.AttachBytesIn = 0;
  BuildHello(c);
  WexlWaitWritable(ChannelSlot(c), kHelloWritableWaitMs);
  return SendCommandLine(c, now, c.link.CommandBuffer, SlowReplyDelay(c), SmtpHelloReply);
}

// Only a 2xx greets back: a 4xx (try again later) leaves no session to work
// in. A session that requires STARTTLS goes there first and chooses its
// login from the EHLO after it. Without a user name there is nothing to log
// in with: no AUTH then.
int HelloReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (!HasClass(c, reply, 2)) return Refuse(c, reply);
  if (c.security.TlsMode == 1 && !TlsActive(c)) return StartTlsOrRefuse(c);
  c.link.NextState = GreetsWithEhlo(c) && c.login.UserName[0] != '\0' ? ChooseLoginState(c) : Done;
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {SmtpStart, Await::kNothing, SmtpStartStep},
    {SmtpGreeting, Await::kSmtpReply, GreetingStep},
    {SmtpHello, Await::kNothing, HelloStep},
    {SmtpHelloReply, Await::kSmtpReply, HelloReplyStep},
};

}  // namespace

extern const StepTable kSmtpSessionSteps = {kRows, static_cast<int>(std::size(kRows))};

int CheckAngleAddress(ChannelContext& c, const char* address, bool listMode) {
  if (address == nullptr || address[0] == '\0') return kEmptyAddress;
  // A line break would turn the address into a second protocol line.
  if (HasLineBreak(address)) return kBadAddressChar;
  const char separator = listMode ? c.settings.AddressSep : '\0';
  const char* open = FindBeforeSeparator(address, '<', separator);
  const char* close = FindBeforeSeparator(address, '>', separator);
  if (open == nullptr) {
    // Logged as a failure; the connection and any operation on it stay.
    LogFailure(c, 0, kMissingOpenBracket);
    return kMissingOpenBracket;
  }
  if (close == nullptr || close < open) return kMissingCloseBracket;
  return 0;
}

int PrepareSmtpConnect(ChannelContext& c, const char* server, const char* from, const char* replyTo) {
  // Every argument is checked before anything of the channel changes.
  if (int rc = CheckAngleAddress(c, from, false)) return rc;
  BoundedCopy(c.smtp.ReplyTo, replyTo != nullptr ? replyTo : "", 128);
  BoundedCopy(c.link.ServerName, server, 128);
  BoundedCopy(c.smtp.FromAddress, from, 128);
  c.link.ConnectPort = c.link.SmtpPort;
  c.decoder.AttachmentsSaved = 0;
  if (c.link.HoldsSlot) WexlResetBuffer(ChannelSlot(c));
  return SmtpStart;
}
