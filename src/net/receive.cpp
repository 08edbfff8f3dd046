// Receiving through the ring: peek, take, lines, and draining. Output still
// waiting in the slot is handed to the system first.
#include <cstring>

#include "net/connections.h"
#include "net/internal.h"
#include "net/lineio.h"
#include "net/output.h"
#include "net/ring.h"
#include "net/trace.h"

int ReceiveNow(SocketSlot& s, void* buffer, int length) {
  s.KnownReadable = 0;
  return platform::SocketReceive(s.Socket, buffer, length);
}

namespace {

constexpr int kMostPerReceive = kRingSize - 1;

// Whether the socket is usable for a receive now: a socket that is not even
// writable (or whose last send failed) is broken or gone.
bool Usable(int slot) { return WexlReady(slot, platform::kWritable) == 1; }

// One receive of whatever the socket holds now, up to the read-ahead size,
// into the empty read-ahead buffer: the bytes received, 0 when none are
// there, -1 when the connection is closed or unusable.
int ReceiveAhead(SocketSlot& s, int slot) {
  if (!Usable(slot)) return kWexlLost;
  if (WexlReady(slot, platform::kReadable) != 1) return 0;
  int n = ReceiveNow(s, s.AheadData, kReadAheadSize);
  if (n < 1) {
    s.OpenFlag = 0;
    return kWexlLost;
  }
  s.AheadHead = 0;
  s.AheadTail = n;
  return n;
}

}  // namespace

int WexlPeek(int slot, char* buffer, int length) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  PushOutput(*s);  // a failure stays in SendError: the socket is then unusable
  if (buffer == nullptr || length < 1) return 0;
  if (length > kMostPerReceive) length = kMostPerReceive;
  if (RingCount(*s) == 0) {
    if (s->AheadHead == s->AheadTail && ReceiveAhead(*s, slot) < 0) return kWexlLost;
    FillRingFromAhead(*s, length);  // as a receive of `length` bytes would
  }
  return RingPeek(slot, buffer, length);
}

int WexlTake(int slot, char* buffer, int length) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || length < 1) return kWexlBadLength;
  PushOutput(*s);
  int n = RingTake(slot, buffer, length);
  if (n > 0) TraceRecord(*s, "R: ", buffer, n);
  int ahead = TakeAhead(*s, buffer + n, length - n);
  if (ahead > 0) TraceRecord(*s, "r: ", buffer + n, ahead);
  n += ahead;
  if (n == length) return n;
  // Bytes already taken are delivered even when the socket turns out to be
  // unusable or closed; the next call reports that.
  if (!Usable(slot)) return n > 0 ? n : kWexlLost;
  if (WexlReady(slot, platform::kReadable) != 1) return n;
  int got = ReceiveNow(*s, buffer + n, length - n);
  if (got < 1) {
    s->OpenFlag = 0;
    return n > 0 ? n : kWexlLost;
  }
  TraceRecord(*s, "r: ", buffer + n, got);
  return n + got;
}

int WexlGetLine(int slot, char* buffer, int capacity) {
  if (WexlSlot(slot) == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || capacity < 1) return kWexlBadLength;
  int peeked = WexlPeek(slot, buffer, capacity - 1);
  if (peeked <= 0) return peeked;
  // The line ends at the first LF, whatever bytes come before it (a NUL
  // included), so that the next line is never glued to this one.
  const void* lf = memchr(buffer, '\n', static_cast<size_t>(peeked));
  int want = lf == nullptr ? peeked : static_cast<int>(static_cast<const char*>(lf) - buffer) + 1;
  int taken = WexlTake(slot, buffer, want);
  if (taken <= 0) return taken;
  buffer[taken] = '\0';
  return taken;
}

namespace {

// WexlReadLine, and with a `totalLimitMs` above 0 also the overall limit of
// WexlReadLineWithin, measured from the moment the first piece was taken.
int ReadLine(int slot, char* buffer, int capacity, int firstLimitMs, int nextLimitMs, int totalLimitMs) {
  if (WexlSlot(slot) == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || capacity < 1) return kWexlBadLength;
  if (WexlWaitReadable(slot, firstLimitMs) != 1) return 0;
  int held = WexlGetLine(slot, buffer, capacity);
  if (held <= 0 || held == capacity - 1 || buffer[held - 1] == '\n') return held;
  // The line goes on: the clock of its overall limit (if any) runs from here.
  const uint32_t start = totalLimitMs > 0 ? platform::CoarseTickCount() : 0;
  const uint32_t total = static_cast<uint32_t>(totalLimitMs);
  while (held < capacity - 1 && buffer[held - 1] != '\n') {
    int wait = nextLimitMs > 0 ? nextLimitMs : 0;
    if (totalLimitMs > 0) {
      const uint32_t elapsed = platform::CoarseTickCount() - start;
      if (elapsed >= total) return kWexlLineTooSlow;
      if (static_cast<uint32_t>(wait) > total - elapsed) wait = static_cast<int>(total - elapsed);
    }
    if (WexlWaitReadable(slot, wait) != 1) {
      if (totalLimitMs > 0 && platform::CoarseTickCount() - start >= total) return kWexlLineTooSlow;
      break;
    }
    // A piece that does not come (closed, failed) ends the line with what is
    // held; the next read reports the closed connection.
    int piece = WexlGetLine(slot, buffer + held, capacity - held);
    if (piece <= 0) break;
    held += piece;
  }
  return held;
}

}  // namespace

int WexlReadLine(int slot, char* buffer, int capacity, int firstLimitMs, int nextLimitMs) {
  return ReadLine(slot, buffer, capacity, firstLimitMs, nextLimitMs, 0);
}

int WexlReadLineWithin(int slot, char* buffer, int capacity, int firstLimitMs, int nextLimitMs, int totalLimitMs) {
  return ReadLine(slot, buffer, capacity, firstLimitMs, nextLimitMs, totalLimitMs);
}

int WexlDrain(int slot) {
  if (WexlSlot(slot) == nullptr) return kWexlBadSlot;
  char discard[kRingSize];
  while (WexlWaitReadable(slot, 0) == 1) {
    if (WexlTake(slot, discard, kMostPerReceive) <= 0) break;
  }
  return kWexlOk;
}
