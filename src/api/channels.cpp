#include "api/channels.h"

#include "api/errors.h"

namespace {
int channelCount = 0;
ChannelContext* channelTable[kMaxChannels];
}  // namespace

int ChannelCount() { return channelCount; }

int CheckChannel(int channel) {
  if (channelCount == 0) return kNotAttached;
  if (channel < 0 || channel >= channelCount) return kChannelOutOfRange;
  return 0;
}

ChannelContext& Channel(int channel) { return *channelTable[channel]; }

void SetChannelCount(int count) { channelCount = count; }
void SetChannelRecord(int channel, ChannelContext* record) { channelTable[channel] = record; }
ChannelContext* ChannelRecord(int channel) { return channelTable[channel]; }
