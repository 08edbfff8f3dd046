#include "net/ring.h"

#include <cstring>

namespace {

constexpr int kRingMask = kRingSize - 1;
constexpr int kRingHolds = kRingSize - 1;

int OwnCount(const SocketSlot& s) { return (s.RingTail - s.RingHead) & kRingMask; }

const char* LentBytes(const SocketSlot& s) { return reinterpret_cast<const char*>(s.AheadData) + s.AheadHead; }

// Copies up to `count` bytes from the head without moving it; the number copied.
int CopyFromHead(const SocketSlot& s, char* bytes, int count) {
  int n = RingCount(s);
  if (bytes == nullptr || count < 1 || n == 0) return 0;
  if (n > count) n = count;
  if (s.RingLent > 0) {
    memcpy(bytes, LentBytes(s), static_cast<size_t>(n));
    return n;
  }
  int head = s.RingHead & kRingMask;
  int first = n < kRingSize - head ? n : kRingSize - head;
  memcpy(bytes, s.RingData + head, static_cast<size_t>(first));
  memcpy(bytes + first, s.RingData, static_cast<size_t>(n - first));
  return n;
}

// Bytes held in place become the ring's own, so that more can be put behind them.
void OwnLentBytes(SocketSlot& s) {
  const int lent = s.RingLent;
  if (lent == 0) return;
  memcpy(s.RingData, LentBytes(s), static_cast<size_t>(lent));
  s.RingHead = 0;
  s.RingTail = lent;
  s.AheadHead += lent;
  s.RingLent = 0;
}

}  // namespace

int RingCount(const SocketSlot& s) { return OwnCount(s) + s.RingLent; }

int RingPut(int slot, const char* bytes, int count) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  int room = kRingHolds - RingCount(*s);
  if (bytes == nullptr || count < 1 || room == 0) return 0;
  OwnLentBytes(*s);
  int n = count < room ? count : room;
  int tail = s->RingTail & kRingMask;
  int first = n < kRingSize - tail ? n : kRingSize - tail;
  memcpy(s->RingData + tail, bytes, static_cast<size_t>(first));
  memcpy(s->RingData, bytes + first, static_cast<size_t>(n - first));
  s->RingTail = (tail + n) & kRingMask;
  return n;
}

int RingPeek(int slot, char* bytes, int count) {
  SocketSlot* s = WexlSlot(slot);
  return s == nullptr ? kWexlBadSlot : CopyFromHead(*s, bytes, count);
}

int RingTake(int slot, char* bytes, int count) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return RingSkip(*s, CopyFromHead(*s, bytes, count));
}

int RingSkip(SocketSlot& s, int count) {
  int n = RingCount(s);
  if (count < 1 || n == 0) return 0;
  if (n > count) n = count;
  if (s.RingLent > 0) {
    s.RingLent -= n;
    s.AheadHead += n;
    return n;
  }
  s.RingHead = (s.RingHead + n) & kRingMask;
  if (s.RingHead == s.RingTail) {
    s.RingHead = 0;
    s.RingTail = 0;
  }
  return n;
}

const char* RingSpan(const SocketSlot& s, int* count) {
  if (s.RingLent > 0) {
    *count = s.RingLent;
    return LentBytes(s);
  }
  const int head = s.RingHead & kRingMask;
  const int n = OwnCount(s);
  *count = n < kRingSize - head ? n : kRingSize - head;
  return reinterpret_cast<const char*>(s.RingData) + head;
}

// Lent bytes are part of the read-ahead range: counted once.
int BufferedCount(const SocketSlot& s) { return OwnCount(s) + (s.AheadTail - s.AheadHead); }

void ClearReceived(SocketSlot& s) {
  s.RingHead = 0;
  s.RingTail = 0;
  s.RingLent = 0;
  s.AheadHead = 0;
  s.AheadTail = 0;
  s.KnownReadable = 0;
}

void FillRingFromAhead(SocketSlot& s, int count) {
  if (RingCount(s) == 0) {
    // An empty ring holds the bytes where they are.
    const int n = s.AheadTail - s.AheadHead;
    const int most = count < kRingHolds ? count : kRingHolds;
    s.RingLent = n < most ? n : (most > 0 ? most : 0);
    return;
  }
  OwnLentBytes(s);
  const int n = s.AheadTail - s.AheadHead;
  const char* ahead = reinterpret_cast<const char*>(s.AheadData) + s.AheadHead;
  s.AheadHead += RingPut(s.Index, ahead, n < count ? n : count);
}

int TakeAhead(SocketSlot& s, char* bytes, int count) {
  int n = s.AheadTail - s.AheadHead;
  if (bytes == nullptr || count < 1 || n == 0 || s.RingLent > 0) return 0;
  if (n > count) n = count;
  memcpy(bytes, s.AheadData + s.AheadHead, static_cast<size_t>(n));
  s.AheadHead += n;
  return n;
}
