// The library's process-wide state: the channel table, attach and release.
#include "api/library.h"

#include <cstdio>

#include "api/blocks.h"
#include "api/errors.h"
#include "api/log.h"
#include "engine/frame/settings.h"
#include "engine/frame/step_io.h"
#include "net/slots.h"
#include "platform/platform.h"

namespace {

int channelCount = 0;
ChannelContext* channelTable[kMaxChannels];
platform::LastingLock libraryLock;

// Gives back everything a partly done attach took.
void UndoAttach(int created) {
  for (int n = created - 1; n >= 0; --n) FreeBlock(BlockId(n, kRecordSlot));
  WexlShutdown();
}

// Closes what a channel still holds: a connection or file still open would
// outlive the channel.
void ReleaseChannel(ChannelContext& c, int n) {
  CloseChannelFiles(c);
  if (c.link.HoldsSlot) CloseChannelSocket(c);
  if (c.diag.LogHandle != 0) {
    LogFormat(c, "*** Releasing channel %d ***\r\n", n);
    DetachTrace(c);
    ReplaceLog(c, 0);
  }
  FreeMemory(n, 1, kSlotsPerChannel - 1);
}

}  // namespace

int ChannelCount() { return channelCount; }

int CheckChannel(int channel) {
  if (channelCount == 0) return kNotAttached;
  if (channel < 0 || channel >= channelCount) return kChannelOutOfRange;
  return 0;
}

ChannelContext& Channel(int channel) { return *channelTable[channel]; }
ChannelContext* ChannelRecord(int channel) { return channelTable[channel]; }

platform::Lock& LibraryLock() { return libraryLock.lock; }

int AttachChannels(int channels) {
  platform::LockHold hold(libraryLock.lock);
  int rc = WexlStartup(128, gSettings.PollSleep);
  if (rc < 0) return rc;
  ResetBlockTable();
  for (int n = 0; n < channels; ++n) {
    auto* record = reinterpret_cast<ChannelContext*>(AllocateMemory(n, kRecordSlot, sizeof(ChannelContext)));
    if (record == nullptr) {
      UndoAttach(n);
      return kNoMemory;
    }
    channelTable[n] = record;
    SetAttachValues(*record, n);
  }
  channelCount = channels;
  snprintf(Boundary, sizeof Boundary,
           "=====_KOV%ld_=====", static_cast<long>(static_cast<int32_t>(platform::TickCount())));
  // Nothing was created: the library stays not attached.
  if (channels == 0) WexlShutdown();
  return 1;
}

void ReleaseChannels() {
  const int count = channelCount;
  {
    platform::LockHold hold(libraryLock.lock);
    for (int n = count - 1; n >= 0; --n) {
      if (channelTable[n] != nullptr) ReleaseChannel(*channelTable[n], n);
    }
    for (int n = count - 1; n >= 0; --n) {
      FreeMemory(n, kRecordSlot, kRecordSlot);
      channelTable[n] = nullptr;
    }
    channelCount = 0;
  }
  WexlShutdown();
}
