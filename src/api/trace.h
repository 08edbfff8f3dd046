// The socket trace follows the channel: the channel's log is the trace file of
// the socket slot its connection occupies, and of no other slot.
#pragma once

#include "api/context.h"

// Hands the channel's current log (or none) to the slot of its connection.
void AttachTrace(const ChannelContext& c);
// Takes the channel's log off the slot of its connection.
void DetachTrace(const ChannelContext& c);
