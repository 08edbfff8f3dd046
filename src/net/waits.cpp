// Readiness of a slot's socket: the zero-wait test and the waits, each one
// wait in the system. Output still waiting in the slot goes out first, within
// the same time limit, so that no wait is for an answer to bytes not yet sent.
#include "net/connections.h"
#include "net/internal.h"
#include "net/output.h"
#include "net/ring.h"
#include "net/tls.h"

namespace {

// Whether an established TLS session holds plaintext (or the end) already.
bool TlsHoldsPlaintext(SocketSlot& s) { return s.Tls != nullptr && s.Tls->established && TlsReadyNow(s); }

bool ValidKind(int kind) { return kind >= platform::kReadable && kind <= platform::kException; }

uint32_t Limit(int limitMs) { return limitMs > 0 ? static_cast<uint32_t>(limitMs) : 0; }

// Hands the waiting output over within limitMs; the part of the limit left.
uint32_t FlushFirst(SocketSlot& s, uint32_t limitMs) {
  if (!OutputWaits(s)) return limitMs;
  if (limitMs == 0) {
    FlushOutput(s, 0);  // a failure stays in SendError
    return 0;
  }
  const uint32_t start = platform::CoarseTickCount();
  FlushOutput(s, limitMs);  // a failure stays in SendError
  const uint32_t spent = platform::CoarseTickCount() - start;
  return spent < limitMs ? limitMs - spent : 0;
}

// Waits for kind 1 (readable: buffered bytes count, and so does a failed
// send, which the next read reports) or kind 2 (writable, never with an
// exception condition or after a failed send). Without a socket nothing can
// change: 0, after sleeping out the limit when `sleepWithoutSocket`.
int Wait(SocketSlot& s, int kind, uint32_t limitMs, bool sleepWithoutSocket) {
  const uint32_t left = FlushFirst(s, limitMs);
  if (kind == platform::kReadable && (BufferedCount(s) > 0 || s.SendError != 0)) return 1;
  if (kind == platform::kWritable && s.SendError != 0) return 0;
  if (!HasSocket(s)) {
    if (sleepWithoutSocket && left > 0) platform::SleepMs(left);
    return 0;
  }
  // A connect trying several addresses: any attempt that ends is news.
  if (kind == platform::kWritable && RaceUnderWay(s)) return AwaitAttempts(s, left);
  if (kind == platform::kWritable && platform::SocketReady(s.Socket, platform::kException, 0)) return 0;
  return SystemReady(s, static_cast<platform::ReadyKind>(kind), left) ? 1 : 0;
}

}  // namespace

bool SystemReady(SocketSlot& s, platform::ReadyKind kind, uint32_t waitMs) {
  // An established TLS session is readable with plaintext, not ciphertext.
  if (kind == platform::kReadable && s.Tls != nullptr && s.Tls->established) return TlsReadable(s, waitMs);
  if (kind == platform::kReadable && s.KnownReadable) return true;
  const bool ready = platform::SocketReady(s.Socket, kind, waitMs);
  if (kind == platform::kReadable && ready) s.KnownReadable = 1;
  return ready;
}

int WexlReady(int slot, int kind) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!ValidKind(kind)) return kWexlBadKind;
  PushOutput(*s);  // a failure stays in SendError
  if (s->SendError != 0 && kind != platform::kException) return kind == platform::kReadable ? 1 : 0;
  if (!HasSocket(*s)) return 0;
  return SystemReady(*s, static_cast<platform::ReadyKind>(kind), 0) ? 1 : 0;
}

int WexlWaitWritable(int slot, int limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return Wait(*s, platform::kWritable, Limit(limitMs), true);
}

int WexlWaitReadable(int slot, int limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return Wait(*s, platform::kReadable, Limit(limitMs), true);
}

int WexlWaitReady(int slot, int kind, uint32_t limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (kind != platform::kReadable && kind != platform::kWritable) return kWexlBadKind;
  return Wait(*s, kind, limitMs, false);
}

int WexlWaitTarget(int slot, int* kind) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr || !HasSocket(*s)) return -1;
  PushOutput(*s);  // a failure stays in SendError
  if (s->SendError != 0 || (*kind == platform::kReadable && (BufferedCount(*s) > 0 || TlsHoldsPlaintext(*s)))) {
    *kind = 0;
  } else if (OutputWaits(*s)) {
    *kind = platform::kWritable;
  }
  return s->Socket;
}
