// kovDriver: the step frame (timers, writability, state lines) and the
// dispatch of the state's step.
#include "engine/driver.h"

#include "api/channels.h"
#include "api/errors.h"
#include "api/log.h"
#include "engine/states.h"
#include "engine/steps.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

// Runs the step of c.ThisState; -2 stands for "no such state".
constexpr int kUnknownState = -2;

int Dispatch(ChannelContext& c, uint32_t now) {
  switch (c.ThisState) {
    case LocalHost:
    case LocalHost2:
    case LocalHost3:
      return StepLocalHost(c, now);
    case ResolveServer:
      return StepResolveServer(c, now);
    case OpenSocket:
      return StepOpenSocket(c, now);
    case AwaitConnected:
      return StepAwaitConnected(c, now);
    case CramStart:
      return StepCramStart(c, now);
    case CramChallenge:
      return StepCramChallenge(c, now);
    case CramRespond:
      return StepCramRespond(c, now);
    case CramResult:
      return StepCramResult(c, now);
    case LoginStart:
      return StepLoginStart(c, now);
    case LoginUser:
      return StepLoginUser(c, now);
    case LoginPassword:
      return StepLoginPassword(c, now);
    case LoginResult:
      return StepLoginResult(c, now);
    case PlainStart:
      return StepPlainStart(c, now);
    case PlainResult:
      return StepPlainResult(c, now);
    case SmtpStart:
      return StepSmtpStart(c, now);
    case SmtpGreeting:
      return StepSmtpGreeting(c, now);
    case SmtpHello:
      return StepSmtpHello(c, now);
    case SmtpHelloReply:
      return StepSmtpHelloReply(c, now);
    case Quit:
      return StepQuit(c, now);
    case QuitReply:
      return StepQuitReply(c, now);
    case VerifyNext:
      return StepVerifyNext(c, now);
    case VerifySend:
      return StepVerifySend(c, now);
    case VerifyReply:
      return StepVerifyReply(c, now);
    case SmtpCommand:
    case Pop3Command:
      return StepUserCommand(c, now);
    case SmtpCommandReply:
    case Pop3CommandReply:
      return StepUserCommandReply(c, now);
    default:
      return kUnknownState;
  }
}

}  // namespace

extern "C" KOV_API int KOV_CALL kovDriver(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  c.CommandBuffer[0] = '\0';
  c.ReplyBuffer[0] = '\0';
  c.WaitFor = 0;
  const uint32_t now = platform::TickCount();
  if (c.NotBefore > now) {
    platform::SleepMs(0);
    return kNotYet;
  }
  if (c.Deadline != 0 && c.Deadline < now) return FailStep(c, 0, kTimedOut);
  if (c.WaitWritable && WexlReady(static_cast<int>(c.SlotNumber), 2) != 1) {
    c.WaitFor = 2;
    platform::SleepMs(0);
    return kNotYet;
  }
  c.WaitWritable = 0;
  c.ThisState = c.NextState;
  if (c.ThisState > 0) ++c.StepCount;
  if (c.ThisState != c.PrevState) LogFormat(c, "<%3d:%ld>\r\n", c.ThisState, static_cast<long>(now));
  if (c.ThisState == Done) {
    c.ThisState = -1;
    c.NotBefore = 0;
    c.Deadline = 0;
    return 0;
  }
  int rc = Dispatch(c, now);
  if (rc == kUnknownState) {
    // No step can ever run: end the operation rather than return the same state for ever.
    LogFormat(c, "ERROR! Unknown state %d\r\n", c.ThisState);
    return FailStep(c, 0, kBadStatusFlag);
  }
  if (rc < 0) return rc;
  c.PrevState = c.ThisState;
  c.ThisState = -1;
  return c.NextState;
}
