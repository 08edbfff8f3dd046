// The driver: one state's step per kovDriver call, the shared failure path,
// the reply readers and the automatic loop of the entry points.
#pragma once

#include <cstdint>

#include "api/context.h"

// Logs the failure and its texts; for a negative kovCode also ends the
// operation (states reset, socket closed). Returns kovCode.
int FailStep(ChannelContext& c, int sockCode, int kovCode);

// FailStep for a reply reader's result: a connection closed before any reply
// (-1) fails as "Wexl read error." with -1 as socket code.
int FailReply(ChannelContext& c, int readerResult);

// Logs "Closing socket" and closes the channel's own connection, if any.
void CloseChannelSocket(ChannelContext& c);

// 0 (complete, code below 500), -49 (code 500 or more), -31 (reply too long),
// -1 (closed before any reply line) or another negative socket-layer code.
int ReadSmtpReply(ChannelContext& c);
// 0 ("+"), -63 (other status), -8 (no data within ReadWait), -1 (closed) or
// another negative socket-layer code.
int ReadPop3Reply(ChannelContext& c);

// Whether reply data is there now; if not, tells the automatic loop to wait
// for it.
bool ReplyReady(ChannelContext& c);

// Sends a command line; on success the reply state follows after
// `firstDelay` ms, within MaxWait. A failed send fails the step (-52).
int SendCommandLine(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int replyState);

// An SMTP reply: kNotYet while none has arrived, 0 when it was accepted, else
// the result of the failed step.
int AwaitSmtpReply(ChannelContext& c);

// Sets the two timers of a step that has sent something.
void SetTimers(ChannelContext& c, uint32_t now, int32_t firstDelay, int32_t limit);

// Runs kovDriver until the operation ends (automatic driving); the result is
// the last kovDriver result (0 or negative).
int DriveToCompletion(int channel);

// The entry points' common start of an operation: first state, no
// connection hand-over, no socket code yet.
void StartOperation(ChannelContext& c, int firstState);
