// SMTP login with an OAuth 2.0 token: AUTH XOAUTH2 or AUTH OAUTHBEARER with
// the client message as initial response (states 273 to 275). A refusal
// comes as a 334 challenge holding the server's error: it is logged,
// answered as the mechanism asks, and the final reply (535) fails the login
// with its text.
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "engine/frame/secure.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/smtp/smtp.h"
#include "net/lineio.h"

namespace {

// The log shows "AUTH <mechanism> *****".
int OAuthStartStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, true)) return rc;
  char line[kOAuthLineSize];
  int shown = 0;
  const int n = BuildOAuthCommand(c, true, line, sizeof line, shown);
  if (n == 0) return FailStep(c, 0, kWriteError);
  int rc = WexlSendMasked(ChannelSlot(c), line, n, shown);
  if (rc >= 0) rc = WexlFlush(ChannelSlot(c), 0);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, SlowReplyDelay(c), c.settings.MaxWait);
  c.link.NextState = OAuthReply;
  return kStepDone;
}

int OAuthReplyStep(ChannelContext& c, uint32_t now, int reply) {
  if (!HasClass(c, reply, 3)) return FinishAuth(c, reply, OAuthName(c));
  DecodeChallenge(c);
  BoundedCopy(c.login.AuthText, c.login.Challenge, 129);
  LogFormat(c, "OAuth error '%s'\r\n", c.login.AuthText);
  return SendCommandLine(c, now, OAuthAbortAnswer(c), c.settings.MinWait, OAuthFinal);
}

int OAuthFinalStep(ChannelContext& c, uint32_t, int reply) { return FinishAuth(c, reply, OAuthName(c)); }

constexpr StateStep kRows[] = {
    {OAuthStart, Await::kNothing, OAuthStartStep},
    {OAuthReply, Await::kSmtpReply, OAuthReplyStep},
    {OAuthFinal, Await::kSmtpReply, OAuthFinalStep},
};

}  // namespace

extern const StepTable kSmtpOAuthSteps = {kRows, static_cast<int>(std::size(kRows))};

int ChooseLoginState(ChannelContext& c) {
  c.security.Offers = EhloOffers(c.link.ReplyBuffer);
  c.security.OAuthMechanism = static_cast<uint8_t>(ChooseOAuth(c));
  if (c.security.OAuthMechanism != 0) return OAuthStart;
  switch (c.security.AuthMechanism) {
    case KOV_AUTH_PLAIN:
      return PlainStart;
    case KOV_AUTH_LOGIN:
      return LoginStart;
    case KOV_AUTH_CRAM_MD5:
      return CramStart;
    default:
      return ChooseAuthState(c.link.ReplyBuffer);
  }
}
