// Ending what a channel holds: its connection and its open files. Used by the
// failure path, kovClose, kovAbort and kovRelease.
#pragma once

#include "api/context.h"

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
// as every orderly close does.
void CloseChannelAfterQuit(ChannelContext& c);
// Closes the attachment and mail files an operation may still hold open,
// writing out what their buffers still hold first.
void CloseChannelFiles(ChannelContext& c);
