// POP3 login with an OAuth 2.0 token (RFC 5034 AUTH with XOAUTH2 or
// OAUTHBEARER, states 370 to 373). The client message goes as initial
// response when the command line stays within 255 octets, else after the
// server's "+" go-ahead. A refusal comes as a "+" challenge holding the
// server's error: it is logged, answered as the mechanism asks, and the
// final "-ERR" fails the login with its text.
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/base64.h"
#include "codec/strings.h"
#include "engine/frame/secure.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/pop3/pop3.h"

namespace {

// The longest AUTH command line with its initial response.
constexpr int kMostWithResponse = 255;

// "+OK" ends the login; a "+" with anything else is a challenge.
bool IsContinuation(const ChannelContext& c) { return !CompareNoCase(c.link.ReplyBuffer, "+OK", 3); }

int FinishPop3OAuth(ChannelContext& c) {
  LogFormat(c, "AUTH %s ok\r\n", OAuthName(c));
  c.link.NextState = Done;
  return kStepDone;
}

int AuthStartStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = RequireTls(c, true)) return rc;
  char line[kOAuthLineSize];
  int shown = 0;
  int n = BuildOAuthCommand(c, true, line, sizeof line, shown);
  if (n == 0) return FailStep(c, 0, kWriteError);
  if (n <= kMostWithResponse)
    return SendPop3SecretLine(c, now, line, n, shown, LoginReplyDelay(c), Pop3AuthReply, kReadError);
  n = BuildOAuthCommand(c, false, line, sizeof line, shown);
  return SendPop3SecretLine(c, now, line, n, n, c.settings.MinWait, Pop3AuthGoAhead, kReadError);
}

// The go-ahead: the client message follows alone on its line.
int GoAheadStep(ChannelContext& c, uint32_t now, int) {
  char line[kOAuthLineSize];
  const int n = BuildOAuthResponse(c, line, sizeof line);
  if (n == 0) return FailStep(c, 0, kWriteError);
  return SendPop3SecretLine(c, now, line, n, 0, LoginReplyDelay(c), Pop3AuthReply, kReadError);
}

int AuthReplyStep(ChannelContext& c, uint32_t now, int) {
  if (!IsContinuation(c)) return FinishPop3OAuth(c);
  const char* text = c.link.ReplyBuffer + 1;
  while (*text == ' ') ++text;
  int length = 0;
  while (text[length] != '\0' && text[length] != '\r' && text[length] != '\n') ++length;
  c.login.Challenge[DecodeBuffer(text, c.login.Challenge, length)] = '\0';
  BoundedCopy(c.login.AuthText, c.login.Challenge, 129);
  LogFormat(c, "OAuth error '%s'\r\n", c.login.AuthText);
  return SendPop3Command(c, now, OAuthAbortAnswer(c), c.settings.MinWait, Pop3AuthFinal, kReadError);
}

// Only "+OK" logs in; the frame fails a "-ERR" with its text.
int AuthFinalStep(ChannelContext& c, uint32_t, int) {
  if (IsContinuation(c)) return FailStep(c, 0, kPop3Error);
  return FinishPop3OAuth(c);
}

constexpr StateStep kRows[] = {
    {Pop3AuthStart, Await::kWritable, AuthStartStep},
    {Pop3AuthGoAhead, Await::kPop3Reply, GoAheadStep},
    {Pop3AuthReply, Await::kPop3Reply, AuthReplyStep},
    {Pop3AuthFinal, Await::kPop3Reply, AuthFinalStep},
};

}  // namespace

extern const StepTable kPop3OAuthSteps = {kRows, static_cast<int>(std::size(kRows))};
