// What the steps share: the failure path, the channel's own connection, the
// timers and sending a command line. Closing a channel's connection and files
// serves the failure path, kovClose, kovAbort and kovRelease alike.
#pragma once

#include <cstdint>

#include "api/context.h"
#include "api/errors.h"
#include "engine/frame/settings.h"

// The socket slot of the channel's own connection, or -1 (a slot number the
// socket layer refuses) when it holds none: a channel never talks on, or
// reports of, a slot that another channel may have been given since.
inline int ChannelSlot(const ChannelContext& c) { return c.link.HoldsSlot ? static_cast<int>(c.link.SlotNumber) : -1; }

// Logs "Closing socket" and closes the channel's own connection, if it holds
// one: the socket is closed at once, without waiting for the peer to take
// what it has not taken (a failure, an abort, a release), and its slot freed.
void CloseChannelSocket(ChannelContext& c);
// The same after the server answered QUIT: the close may linger for output
// still on its way, but no longer than the channel's time limit, and pauses
// as every orderly close does (unless pacing is off).
void CloseChannelAfterQuit(ChannelContext& c);
// Closes the files an operation may still hold open: a part file still being
// written is removed (it did not complete); the mail file gets what its
// buffer still holds first.
void CloseChannelFiles(ChannelContext& c);

// The socket trace follows the channel: the channel's log is the trace file of
// the socket slot its connection occupies, and of no other slot. AttachTrace
// hands the channel's current log (or none) to that slot, DetachTrace takes it off.
void AttachTrace(ChannelContext& c);
void DetachTrace(const ChannelContext& c);

// Logs the failure and its texts; for a negative kovCode also ends the
// operation: states reset, files and socket closed. Returns kovCode.
int FailStep(ChannelContext& c, int sockCode, int kovCode);
// FailStep's log lines alone: the error line and the texts of the codes.
void LogFailure(ChannelContext& c, int sockCode, int kovCode);

// FailStep for a reply reader's result: a connection that closed or reset
// before the reply was complete (-1) fails as "Wexl read error." with -1 as
// the socket code.
int FailReply(ChannelContext& c, int readerResult);

// Starts the step timers at `now`: the next step runs no sooner than
// `firstDelay` ms (with pacing on; with KOV_PACING 0 at once) and fails after
// `limit` ms (at least 1; both measured as elapsed time, so the tick counter
// may wrap).
void SetTimers(ChannelContext& c, uint32_t now, int32_t firstDelay, int32_t limit);

// The first delay after a command that servers take a moment longer to
// answer (EHLO, AUTH): the reply usually needs a round trip and some work.
inline int32_t SlowReplyDelay(const ChannelContext& c) { return 2 * c.settings.MinWait + 200; }

// Before an operation's first command (UnreadCheckDue): throws away the
// received lines no step has read, as far as they have arrived, and logs
// "Discarded N unread lines (M bytes)". Nothing is logged when none wait.
void DiscardUnread(ChannelContext& c);

// Sends a command line and hands it to the system at once; on success the
// reply state follows after `firstDelay` ms, within MaxWait. A failed send
// fails the step with `failCode` (-52 unless the protocol names another).
int SendCommandLine(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int replyState,
                    int failCode = kWriteError);
