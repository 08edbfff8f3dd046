// The step functions of the driver states, one per state, grouped by file.
// Each returns 0 when the step ran (NextState tells what follows) or the
// negative result of a failure.
#pragma once

#include <cstdint>

#include "api/context.h"

// connect.cpp
int StepLocalHost(ChannelContext& c, uint32_t now);
int StepResolveServer(ChannelContext& c, uint32_t now);
int StepOpenSocket(ChannelContext& c, uint32_t now);
int StepAwaitConnected(ChannelContext& c, uint32_t now);

// control.cpp
int StepQuit(ChannelContext& c, uint32_t now);
int StepQuitReply(ChannelContext& c, uint32_t now);
int StepUserCommand(ChannelContext& c, uint32_t now);
int StepUserCommandReply(ChannelContext& c, uint32_t now);

// smtp_connect.cpp
int StepSmtpStart(ChannelContext& c, uint32_t now);
int StepSmtpGreeting(ChannelContext& c, uint32_t now);
int StepSmtpHello(ChannelContext& c, uint32_t now);
int StepSmtpHelloReply(ChannelContext& c, uint32_t now);

// smtp_auth.cpp
int StepCramStart(ChannelContext& c, uint32_t now);
int StepCramChallenge(ChannelContext& c, uint32_t now);
int StepCramRespond(ChannelContext& c, uint32_t now);
int StepCramResult(ChannelContext& c, uint32_t now);
int StepLoginStart(ChannelContext& c, uint32_t now);
int StepLoginUser(ChannelContext& c, uint32_t now);
int StepLoginPassword(ChannelContext& c, uint32_t now);
int StepLoginResult(ChannelContext& c, uint32_t now);
int StepPlainStart(ChannelContext& c, uint32_t now);
int StepPlainResult(ChannelContext& c, uint32_t now);

// smtp_verify.cpp
int StepVerifyNext(ChannelContext& c, uint32_t now);
int StepVerifySend(ChannelContext& c, uint32_t now);
int StepVerifyReply(ChannelContext& c, uint32_t now);
