// kovAttach and kovRelease: the library's process-wide state.
#include <cstdio>

#include "api/blocks.h"
#include "api/channels.h"
#include "api/errors.h"
#include "api/log.h"
#include "engine/frame/settings.h"
#include "engine/frame/step_io.h"
#include "kov32.h"
#include "net/slots.h"
#include "platform/platform.h"

namespace {

platform::Lock libraryLock;

// Gives back everything a partly done attach took.
void UndoAttach(int created) {
  for (int n = created - 1; n >= 0; --n) FreeBlock(BlockId(n, kRecordSlot));
  WexlShutdown();
}

}  // namespace

extern "C" KOV_API int KOV_CALL kovAttach(int channels) {
  if (ChannelCount() != 0) return kAlreadyAttached;
  if (channels < 0 || channels > kMaxChannels) return kChannelOutOfRange;
  platform::LockInit(libraryLock);
  platform::LockEnter(libraryLock);
  int rc = WexlStartup(128, gSettings.PollSleep);
  if (rc < 0) {
    platform::LockLeave(libraryLock);
    platform::LockDelete(libraryLock);
    return rc;
  }
  ResetBlockTable();
  for (int n = 0; n < channels; ++n) {
    auto* record = reinterpret_cast<ChannelContext*>(AllocateMemory(n, kRecordSlot, sizeof(ChannelContext)));
    if (record == nullptr) {
      UndoAttach(n);
      platform::LockLeave(libraryLock);
      platform::LockDelete(libraryLock);
      return kNoMemory;
    }
    SetChannelRecord(n, record);
    SetAttachValues(*record, n);
  }
  SetChannelCount(channels);
  snprintf(Boundary, sizeof Boundary,
           "=====_KOV%ld_=====", static_cast<long>(static_cast<int32_t>(platform::TickCount())));
  platform::LockLeave(libraryLock);
  if (channels == 0) {
    // Nothing was created: the library stays not attached and keeps no lock.
    platform::LockDelete(libraryLock);
    WexlShutdown();
  }
  return 1;
}

extern "C" KOV_API int KOV_CALL kovRelease(void) {
  int count = ChannelCount();
  if (count == 0) return 1;
  platform::LockEnter(libraryLock);
  for (int n = count - 1; n >= 0; --n) {
    ChannelContext* c = ChannelRecord(n);
    if (c == nullptr) continue;
    // A connection or file still open would outlive the channel.
    CloseChannelFiles(*c);
    if (c->HoldsSlot) CloseChannelSocket(*c);
    if (c->LogHandle != 0) {
      LogFormat(*c, "*** Releasing channel %d ***\r\n", n);
      platform::FileClose(c->LogHandle);
      DetachTrace(*c);
      c->LogHandle = 0;
    }
    FreeMemory(n, 1, kSlotsPerChannel - 1);
  }
  for (int n = count - 1; n >= 0; --n) {
    FreeMemory(n, kRecordSlot, kRecordSlot);
    SetChannelRecord(n, nullptr);
  }
  SetChannelCount(0);
  platform::LockLeave(libraryLock);
  platform::LockDelete(libraryLock);
  WexlShutdown();
  return 1;
}
