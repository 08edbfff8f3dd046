// Receiving through the ring: peek, take, lines, and draining. Output still
// waiting in the slot is handed to the system first.
#include <cstring>

#include "net/connections.h"
#include "net/internal.h"
#include "net/lineio.h"
#include "net/output.h"
#include "net/ring.h"
#include "net/tls.h"
#include "net/trace.h"

int ReceiveNow(SocketSlot& s, void* buffer, int length) {
  if (s.Tls != nullptr) return TlsReceive(s, buffer, length);
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

// What a peek of `length` bytes (at least 1) finds in the ring, the ring
// refilled first when it is empty: the bytes it may copy (at most
// `length`), 0, or -1 for a connection that is closed or unusable.
int LoadRing(SocketSlot& s, int slot, int length) {
  PushOutput(s);  // a failure stays in SendError: the socket is then unusable
  if (length > kMostPerReceive) length = kMostPerReceive;
  if (RingCount(s) == 0) {
    if (s.AheadHead == s.AheadTail && ReceiveAhead(s, slot) < 0) return kWexlLost;
    FillRingFromAhead(s, length);  // as a receive of `length` bytes would
  }
  const int n = RingCount(s);
  return n < length ? n : length;
}

}  // namespace

int WexlPeek(int slot, char* buffer, int length) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || length < 1) {
    PushOutput(*s);
    return 0;
  }
  const int n = LoadRing(*s, slot, length);
  return n <= 0 ? n : RingPeek(slot, buffer, n);
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

namespace {

// Takes from the ring what it holds of the current line, up to and including
// the first LF (whatever bytes come before it, a NUL included, so that the
// next line is never glued to this one), at most `most` bytes: one copy, from
// where the bytes lie. The bytes taken, untraced and not terminated.
int TakeLinePiece(SocketSlot& s, int slot, char* buffer, int most) {
  int span = 0;
  const char* head = RingSpan(s, &span);
  if (span < most) {
    // A ring of its own that wraps: the line is looked for in a copy.
    most = RingPeek(slot, buffer, most);
    head = buffer;
  }
  const void* lf = memchr(head, '\n', static_cast<size_t>(most));
  const int want = lf == nullptr ? most : static_cast<int>(static_cast<const char*>(lf) - head) + 1;
  if (head != buffer) memcpy(buffer, head, static_cast<size_t>(want));
  return RingSkip(s, want);
}

// WexlGetLine without its trace record: what a peek of capacity - 1 bytes
// shows, up to its first LF.
int GetLinePiece(SocketSlot& s, int slot, char* buffer, int capacity) {
  if (capacity < 2) {
    PushOutput(s);
    return 0;
  }
  const int n = LoadRing(s, slot, capacity - 1);
  return n <= 0 ? n : TakeLinePiece(s, slot, buffer, n);
}

}  // namespace

int WexlGetLine(int slot, char* buffer, int capacity) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || capacity < 1) return kWexlBadLength;
  const int taken = GetLinePiece(*s, slot, buffer, capacity);
  if (taken <= 0) return taken;
  TraceRecord(*s, "R: ", buffer, taken);
  buffer[taken] = '\0';
  return taken;
}

namespace {

// Adds the pieces that follow the first `held` bytes of a line until its LF
// or a full buffer, each within nextLimitMs, all within totalLimitMs (above
// 0) of now: `held` grows; the result is `held` or -1011.
int GatherLine(SocketSlot& s, int slot, char* buffer, int capacity, int& held, int nextLimitMs, int totalLimitMs) {
  if (held == capacity - 1 || buffer[held - 1] == '\n') return held;
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
    int piece = GetLinePiece(s, slot, buffer + held, capacity - held);
    if (piece <= 0) break;
    held += piece;
  }
  return held;
}

// WexlReadLine, and with a `totalLimitMs` above 0 also the overall limit of
// WexlReadLineWithin, measured from the moment the first piece was taken.
// The line is traced as one record, however many ring loads it took.
int ReadLine(int slot, char* buffer, int capacity, int firstLimitMs, int nextLimitMs, int totalLimitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || capacity < 1) return kWexlBadLength;
  if (WexlWaitReadable(slot, firstLimitMs) != 1) return 0;
  int held = GetLinePiece(*s, slot, buffer, capacity);
  if (held <= 0) return held;
  const int result = GatherLine(*s, slot, buffer, capacity, held, nextLimitMs, totalLimitMs);
  TraceRecord(*s, "R: ", buffer, held);
  buffer[held] = '\0';
  return result;
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
