// Driver states. The numbers appear in the log ("<%3d:%ld>") and in the error
// line of a failure: never renumber. Each state has one row in the step table
// of its phase file (a unit test holds every label to exactly one row).
#pragma once

#define KOV_DRIVER_STATES(X) \
  X(Done, 0)                 \
  X(LocalHost, 101)          \
  X(LocalHost2, 102)         \
  X(LocalHost3, 103)         \
  X(ResolveServer, 104)      \
  X(OpenSocket, 105)         \
  X(AwaitConnected, 106)     \
  X(CramStart, 150)          \
  X(CramChallenge, 151)      \
  X(CramRespond, 152)        \
  X(CramResult, 153)         \
  X(LoginStart, 160)         \
  X(LoginUser, 162)          \
  X(LoginPassword, 163)      \
  X(LoginResult, 164)        \
  X(PlainStart, 170)         \
  X(PlainResult, 171)        \
  X(SmtpStart, 200)          \
  X(SmtpGreeting, 201)       \
  X(SmtpHello, 202)          \
  X(SmtpHelloReply, 203)     \
  X(Quit, 258)               \
  X(QuitReply, 259)          \
  X(VerifyNext, 270)         \
  X(VerifySend, 271)         \
  X(VerifyReply, 272)        \
  X(SmtpCommand, 298)        \
  X(SmtpCommandReply, 299)   \
  X(Pop3Command, 398)        \
  X(Pop3CommandReply, 399)

enum DriverState : int {
#define KOV_STATE_ENUM(name, number) name = number,
  KOV_DRIVER_STATES(KOV_STATE_ENUM)
#undef KOV_STATE_ENUM
};

// Every state label, in the order above.
extern const DriverState kAllStates[];
extern const int kStateCount;

// The label of a state ("SmtpGreeting"), "?" for a number without one.
const char* StateName(int state);
