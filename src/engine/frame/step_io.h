// What the steps share: the failure path, the channel's own connection, the
// timers and sending a command line.
#pragma once

#include <cstdint>

#include "api/connection.h"
#include "api/context.h"
#include "api/errors.h"
#include "api/settings.h"

// Logs the failure and its texts; for a negative kovCode also ends the
// operation: states reset, files and socket closed. Returns kovCode.
int FailStep(ChannelContext& c, int sockCode, int kovCode);

// FailStep for a reply reader's result: a connection that closed or reset
// before the reply was complete (-1) fails as "Wexl read error." with -1 as
// the socket code.
int FailReply(ChannelContext& c, int readerResult);

// Starts the step timers at `now`: the next step runs no sooner than
// `firstDelay` ms and fails after `limit` ms (at least 1; both measured as
// elapsed time, so the tick counter may wrap).
void SetTimers(ChannelContext& c, uint32_t now, int32_t firstDelay, int32_t limit);

// The first delay after a command that servers take a moment longer to
// answer (EHLO, AUTH): the reply usually needs a round trip and some work.
inline int32_t SlowReplyDelay() { return 2 * gSettings.MinWait + 200; }

// Sends a command line and hands it to the system at once; on success the
// reply state follows after `firstDelay` ms, within MaxWait. A failed send
// fails the step with `failCode` (-52 unless the protocol names another).
int SendCommandLine(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int replyState,
                    int failCode = kWriteError);
