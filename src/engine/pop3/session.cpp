// The POP3 session kovPop3Connect starts: the greeting and the login with
// USER/PASS or APOP (states 300 to 306).
#include <cstdio>
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/address.h"
#include "codec/strings.h"
#include "engine/frame/collect.h"
#include "engine/frame/digests.h"
#include "engine/frame/operation.h"
#include "engine/frame/readers.h"
#include "engine/frame/secure.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/pop3/pop3.h"
#include "engine/pop3/text.h"
#include "kov32.h"
#include "net/connections.h"

namespace {

// Widths of the user name and password fields.
constexpr int kCredentialField = 64;
// Width of the time stamp in AuthText.
constexpr int kTimestampField = 128;

int Pop3StartStep(ChannelContext& c, uint32_t, int) {
  LogVersionLines(c);
  c.link.NextState = LocalHost;
  c.link.AfterConnectState = c.security.TlsMode == 2 ? Pop3TlsConnect : Pop3Greeting;
  return kStepDone;
}

// The greeting. Its APOP time stamp is kept in AuthText whether APOP is used
// or not.
int GreetingStep(ChannelContext& c, uint32_t now, int) {
  if (!c.link.ReplyPending) {
    if (WexlWaitReadable(ChannelSlot(c), 0) != 1) return NotYet(c, kWaitReadable);
    LogText(c, "Greeting seen\r\n");
  }
  int reply = ReadPop3Reply(c, now);
  if (reply == kReplyPending) return NotYet(c, kWaitReadable);
  if (reply < 0) return FailReply(c, reply);
  ApopTimestamp(c.link.ReplyBuffer, c.login.AuthText, kTimestampField + 1);
  SetTimers(c, now, c.settings.MinWait, c.settings.MaxWait);
  c.link.NextState = Pop3LoginState(c, false);
  return kStepDone;
}

// APOP user digest: the MD5 of the whole time stamp and the password. The
// log shows "APOP user *****": with the time stamp of the logged greeting,
// the digest would let anyone who reads the log try passwords offline.
int ApopStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, false)) return rc;
  if (c.login.AuthText[0] == '\0') return FailStep(c, 0, kApopTimestampMissing);
  ApopDigest(c);
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "APOP %s", c.login.AuthText);
  const int shown = 5 + StringLength(c.login.UserName) + 1;  // "APOP ", the user name and a blank
  return SendPop3Secret(c, now, c.link.CommandBuffer, shown, LoginReplyDelay(c), Pop3LoginReply, kReadError);
}

int UserStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, false)) return rc;
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "USER %s", c.login.UserName);
  return SendPop3Command(c, now, c.link.CommandBuffer, c.settings.MinWait, Pop3UserReply, kReadError);
}

// The wait for room to send PASS is bounded too.
int UserReplyStep(ChannelContext& c, uint32_t now, int) {
  SetTimers(c, now, 0, c.settings.MaxWait);
  c.link.NextState = Pop3SendPass;
  return kStepDone;
}

// The log shows "PASS *****".
int PassStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, false)) return rc;
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "PASS %s", c.login.Pop3Password);
  const int shown = 5;  // "PASS "
  return SendPop3Secret(c, now, c.link.CommandBuffer, shown, LoginReplyDelay(c), Pop3LoginReply, kReadError);
}

int LoginReplyStep(ChannelContext& c, uint32_t, int) {
  c.link.NextState = Done;
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {Pop3Start, Await::kNothing, Pop3StartStep},         {Pop3Greeting, Await::kWritable, GreetingStep},
    {Pop3SendApop, Await::kNothing, ApopStep},           {Pop3SendUser, Await::kNothing, UserStep},
    {Pop3UserReply, Await::kPop3Reply, UserReplyStep},   {Pop3SendPass, Await::kWritable, PassStep},
    {Pop3LoginReply, Await::kPop3Reply, LoginReplyStep},
};

}  // namespace

extern const StepTable kPop3SessionSteps = {kRows, static_cast<int>(std::size(kRows))};

bool CredentialFits(const char* text) { return StringLength(text) <= kCredentialField && !HasLineBreak(text); }

int PreparePop3Connect(ChannelContext& c, const char* server, const char* user, const char* password) {
  BoundedCopy(c.link.ServerName, server, 128);
  BoundedCopy(c.login.UserName, user, kCredentialField);
  BoundedCopy(c.login.Pop3Password, password, kCredentialField);
  c.link.ConnectPort = c.link.Pop3Port;
  c.pop.MessageCount = 0;
  c.decoder.AttachmentsSaved = 0;
  if (c.link.HoldsSlot) WexlResetBuffer(ChannelSlot(c));
  return Pop3Start;
}
