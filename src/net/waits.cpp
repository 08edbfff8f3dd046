// Readiness of a slot's socket: the zero-wait test, the polling waits built
// on it, and one blocking wait in the system.
#include "net/connections.h"
#include "net/internal.h"
#include "net/ring.h"

namespace {

bool ValidKind(int kind) { return kind >= platform::kReadable && kind <= platform::kException; }

// One pass of a polling wait: 1 ends it ready, 0 ends it not ready, -1 goes on.
using Pass = int (*)(int slot);

int WritablePass(int slot) {
  if (WexlReady(slot, platform::kException) == 1) return 0;
  return WexlReady(slot, platform::kWritable) == 1 ? 1 : -1;
}

int ReadablePass(int slot) { return WexlReady(slot, platform::kReadable) == 1 ? 1 : -1; }

// Repeats a pass, sleeping between passes, until it decides or the limit has
// passed since the first unsuccessful pass; a limit of 0 makes one pass.
// Elapsed time is measured as a difference, so a wrapping tick count is harmless.
int PollUntil(const SocketSlot& s, int slot, int limitMs, Pass pass) {
  const uint32_t limit = limitMs > 0 ? static_cast<uint32_t>(limitMs) : 0;
  uint32_t start = 0;
  for (bool first = true;; first = false) {
    int decided = pass(slot);
    if (decided >= 0) return decided;
    uint32_t now = platform::TickCount();
    if (first) start = now;
    if (now - start >= limit) return 0;
    platform::SleepMs(PollPause(s));
  }
}

}  // namespace

int WexlReady(int slot, int kind) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!ValidKind(kind)) return kWexlBadKind;
  if (!HasSocket(*s)) return 0;
  return platform::SocketReady(s->Socket, static_cast<platform::ReadyKind>(kind), 0) ? 1 : 0;
}

int WexlWaitWritable(int slot, int limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return PollUntil(*s, slot, limitMs, WritablePass);
}

int WexlWaitReadable(int slot, int limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (BufferedCount(*s) > 0) return 1;
  return PollUntil(*s, slot, limitMs, ReadablePass);
}

int WexlWaitReady(int slot, int kind, uint32_t limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (kind != platform::kReadable && kind != platform::kWritable) return kWexlBadKind;
  if (kind == platform::kReadable && BufferedCount(*s) > 0) return 1;
  if (!HasSocket(*s)) return 0;
  if (kind == platform::kWritable && platform::SocketReady(s->Socket, platform::kException, 0)) return 0;
  return platform::SocketReady(s->Socket, static_cast<platform::ReadyKind>(kind), limitMs) ? 1 : 0;
}
