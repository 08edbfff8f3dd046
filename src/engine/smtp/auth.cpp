// SMTP authentication: the mechanism choice and the CRAM-MD5 (150-153),
// LOGIN (160-164) and PLAIN (170-171) exchanges. With KOV_TLS set none of
// them starts without the TLS session.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/base64.h"
#include "codec/strings.h"
#include "engine/frame/digests.h"
#include "engine/frame/secure.h"
#include "engine/frame/settings.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/smtp/smtp.h"
#include "net/lineio.h"

int ChooseAuthState(const char* ehloReply) {
  const char* auth = FindNoCase(ehloReply, "AUTH");
  if (auth == nullptr) return Done;
  if (FindNoCase(auth, " CRAM-MD5") != nullptr) return CramStart;
  if (FindNoCase(auth, " LOGIN") != nullptr || FindNoCase(auth, "=LOGIN") != nullptr) return LoginStart;
  if (FindNoCase(auth, " PLAIN") != nullptr) return PlainStart;
  return Done;
}

int FinishAuth(ChannelContext& c, int reply, const char* mechanism) {
  if (!HasClass(c, reply, 2)) return Refuse(c, reply);
  LogFormat(c, "AUTH %s ok\r\n", mechanism);
  c.link.NextState = Done;
  return kStepDone;
}

int DecodeChallenge(ChannelContext& c) {
  const char* text = c.link.ReplyBuffer + (StringLength(c.link.ReplyBuffer) >= 4 ? 4 : StringLength(c.link.ReplyBuffer));
  int length = 0;
  while (text[length] != '\0' && text[length] != '\r' && text[length] != '\n') ++length;
  // The reply area holds at most 1024 characters, so the decoded challenge
  // fits the challenge buffer whole.
  int decoded = DecodeBuffer(text, c.login.Challenge, length);
  c.login.Challenge[decoded] = '\0';
  return decoded;
}

namespace {

// Sends a credential as one base64 line, then waits for the reply state. The
// trace shows "*****" in its place.
int SendEncoded(ChannelContext& c, uint32_t now, const char* text, int length, int32_t firstDelay, int nextState) {
  int n = EncodeOneLine(text, length, c.link.CommandBuffer, sizeof c.link.CommandBuffer);
  if (n == 0) return FailStep(c, 0, kWriteError);
  int rc = WexlSendMasked(ChannelSlot(c), c.link.CommandBuffer, n, 0);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, firstDelay, c.settings.MaxWait);
  c.link.NextState = nextState;
  return kStepDone;
}

// Once the server's prompt has come (a 3xx; its text is not examined), sends
// the answer base64-encoded.
int AnswerLoginPrompt(ChannelContext& c, uint32_t now, int reply, const char* answer, int32_t firstDelay,
                      int nextState) {
  if (!HasClass(c, reply, 3)) return Refuse(c, reply);
  BoundedCopy(c.login.AuthText, answer, 129);
  return SendEncoded(c, now, c.login.AuthText, StringLength(c.login.AuthText), firstDelay, nextState);
}

int CramStartStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, false)) return rc;
  return SendCommandLine(c, now, "AUTH CRAM-MD5", 2 * c.settings.MinWait, CramChallenge);
}

// The challenge comes with a 3xx; any other answer refuses the mechanism.
int CramChallengeStep(ChannelContext& c, uint32_t, int reply) {
  if (!HasClass(c, reply, 3)) return Refuse(c, reply);
  int length = DecodeChallenge(c);
  BoundedCopy(c.login.AuthText, c.login.Challenge, 129);
  LogFormat(c, "Challenge '%s'\r\n", c.login.AuthText);
  // The digest covers the whole challenge; AuthText only shows its start.
  CramMd5Response(c, c.login.Challenge, length);
  c.link.NextState = CramRespond;
  return kStepDone;
}

int CramRespondStep(ChannelContext& c, uint32_t now, int) {
  return SendEncoded(c, now, c.login.AuthText, StringLength(c.login.AuthText), c.settings.MinWait + 200, CramResult);
}

int CramResultStep(ChannelContext& c, uint32_t, int reply) { return FinishAuth(c, reply, "CRAM-MD5"); }

int LoginStartStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, false)) return rc;
  return SendCommandLine(c, now, "AUTH LOGIN", SlowReplyDelay(c), LoginUser);
}

int LoginUserStep(ChannelContext& c, uint32_t now, int reply) {
  return AnswerLoginPrompt(c, now, reply, c.login.UserName, c.settings.MinWait, LoginPassword);
}

int LoginPasswordStep(ChannelContext& c, uint32_t now, int reply) {
  return AnswerLoginPrompt(c, now, reply, c.login.AuthPassword, c.settings.MinWait + 200, LoginResult);
}

int LoginResultStep(ChannelContext& c, uint32_t, int reply) { return FinishAuth(c, reply, "LOGIN"); }

int PlainStartStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, false)) return rc;
  // Authorisation and authentication identity are both the user name.
  char credentials[3 * 65];
  int length = BoundedCopy(credentials, c.login.UserName, 64) + 1;  // the NUL separates
  length += BoundedCopy(credentials + length, c.login.UserName, 64) + 1;
  length += BoundedCopy(credentials + length, c.login.AuthPassword, 64);
  static constexpr char kCommand[] = "AUTH PLAIN ";
  constexpr int kCommandLength = static_cast<int>(sizeof kCommand) - 1;
  memcpy(c.link.CommandBuffer, kCommand, kCommandLength);
  int n = EncodeOneLine(credentials, length, c.link.CommandBuffer + kCommandLength,
                        static_cast<int>(sizeof c.link.CommandBuffer) - kCommandLength);
  int rc = WexlSendMasked(ChannelSlot(c), c.link.CommandBuffer, kCommandLength + n, kCommandLength);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, 2 * c.settings.MinWait, c.settings.MaxWait);
  c.link.NextState = PlainResult;
  return kStepDone;
}

int PlainResultStep(ChannelContext& c, uint32_t, int reply) { return FinishAuth(c, reply, "PLAIN"); }

constexpr StateStep kRows[] = {
    {CramStart, Await::kNothing, CramStartStep},
    {CramChallenge, Await::kSmtpReply, CramChallengeStep},
    {CramRespond, Await::kNothing, CramRespondStep},
    {CramResult, Await::kSmtpReply, CramResultStep},
    {LoginStart, Await::kNothing, LoginStartStep},
    {LoginUser, Await::kSmtpReply, LoginUserStep},
    {LoginPassword, Await::kSmtpReply, LoginPasswordStep},
    {LoginResult, Await::kSmtpReply, LoginResultStep},
    {PlainStart, Await::kNothing, PlainStartStep},
    {PlainResult, Await::kSmtpReply, PlainResultStep},
};

}  // namespace

extern const StepTable kSmtpAuthSteps = {kRows, static_cast<int>(std::size(kRows))};
