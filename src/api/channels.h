// The channel table and the check every channel function makes first.
#pragma once

#include "api/context.h"

// 0 while the library is not attached, else the number of channels.
int ChannelCount();

// 0 when the channel may be used; -71 when the library is not attached,
// -73 when the number is negative or not below the channel count.
int CheckChannel(int channel);

// The record of a channel that passed CheckChannel.
ChannelContext& Channel(int channel);

// Used only by attach and release.
void SetChannelCount(int count);
void SetChannelRecord(int channel, ChannelContext* record);
ChannelContext* ChannelRecord(int channel);
