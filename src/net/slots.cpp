#include "net/slots.h"

#include <cstring>

#include "net/output.h"
#include "net/ring.h"
#include "net/tls.h"
#include "platform/platform.h"
#include "platform/sockets.h"

namespace {
SocketSlot slotTable[kMaxSlots];
uint16_t slotCount = 0;
platform::Lock slotLock;
bool slotLockLive = false;
char description[257];
}  // namespace

int WexlSlotCount() { return slotCount; }

SocketSlot* WexlSlot(int slot) { return slot >= 0 && slot < slotCount ? &slotTable[slot] : nullptr; }

int WexlStartup(int requestedSlots, int sleepInterval) {
  int count = requestedSlots < 0 ? 0 : requestedSlots > kMaxSlots ? kMaxSlots : requestedSlots;
  slotCount = static_cast<uint16_t>(count);
  for (int i = 0; i < count; ++i) {
    SocketSlot& s = slotTable[i];
    s.Index = i;
    s.Socket = kSocketFree;
    TlsRelease(s, false);
    ClearReceived(s);
    ClearOutput(s);
    s.SleepInterval = sleepInterval;
    s.HostName[0] = '\0';
    // No log of an earlier attach may receive the trace of a new connection.
    s.TraceHandle = 0;
    s.TraceTo = nullptr;
    s.TraceOwner = nullptr;
    s.SendWaitLimit = 0;
    s.OpenFlag = 0;
  }
  int rc = platform::NetStartup(description, sizeof description);
  if (rc != 0) return -rc;
  if (!slotLockLive) {
    platform::LockInit(slotLock);
    slotLockLive = true;
  }
  return kWexlOk;
}

void WexlShutdown() {
  if (!slotLockLive) return;
  platform::LockDelete(slotLock);
  slotLockLive = false;
}

int WexlClaimSlot() {
  if (!slotLockLive) return kWexlNoFreeSlot;
  int claimed = kWexlNoFreeSlot;
  platform::LockEnter(slotLock);
  for (int i = 0; i < slotCount; ++i) {
    if (slotTable[i].Socket == kSocketFree) {
      slotTable[i].Socket = kSocketClaimed;
      claimed = i;
      break;
    }
  }
  platform::LockLeave(slotLock);
  return claimed;
}

void WexlStoreSocket(SocketSlot& s, int32_t socket) {
  if (!slotLockLive) {
    s.Socket = socket;
    return;
  }
  platform::LockEnter(slotLock);
  s.Socket = socket;
  platform::LockLeave(slotLock);
}

int WexlSetTraceWriter(int slot, TraceWriter writer, void* owner) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  s->TraceTo = writer;
  s->TraceOwner = writer != nullptr ? owner : nullptr;
  return kWexlOk;
}

int WexlSetOption(int slot, int option, int value) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (option == kOptionTrace) {
    s->TraceHandle = value;
  } else if (option == kOptionSendWait) {
    s->SendWaitLimit = value;
  } else {
    return kWexlBadOption;
  }
  return kWexlOk;
}

int WexlIsOpen(int slot) {
  SocketSlot* s = WexlSlot(slot);
  return s == nullptr ? kWexlBadSlot : s->OpenFlag;
}

int WexlResetBuffer(int slot) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  ClearReceived(*s);
  return kWexlOk;
}

int WexlDescription(char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  size_t n = strnlen(description, static_cast<size_t>(size) - 1);
  memcpy(buffer, description, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
