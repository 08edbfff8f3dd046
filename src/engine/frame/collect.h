// Collecting a reply across driver steps: what has arrived of it is kept in
// the channel (ReplyBuffer and the Reply* fields) and completed on later
// calls, so that no step ever waits in the system for the server.
#pragma once

#include <cstdint>

#include "api/context.h"

// A reader's result while its reply is still arriving: the frame reports
// "waiting" and calls the reader again once data came or ReplyWakeAt passed.
constexpr int kReplyPending = 1;

// Starts a collection at `now` into an empty ReplyBuffer, unless one is
// under way.
void BeginCollect(ChannelContext& c, uint32_t now);
// Takes what has arrived of the current line after the bytes held, without
// waiting, into ReplyBuffer[0..area - 1) (NUL-terminated): 1 when the line
// ended with its LF, 0 when it has not (more must come, or the area is full:
// ReplyHeld tells), or the socket layer's negative code. A line is traced
// once, when its LF has come or the area is full, however many calls it took.
int CollectLine(ChannelContext& c, int area, uint32_t now);
// Ends the collection; gives `result` back.
int EndCollect(ChannelContext& c, int result);
// Traces what the collection holds and has not traced yet (a line cut short
// by the end of the collection, a failure or a close): one record.
void TraceCollected(ChannelContext& c);
// Keeps the collection for a later call, which is due at the latest at
// `wakeAt` (a limit of the reader runs out then): kReplyPending.
int CollectLater(ChannelContext& c, uint32_t wakeAt);
