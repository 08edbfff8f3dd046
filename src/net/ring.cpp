#include "net/ring.h"

#include <cstring>

namespace {

constexpr int kRingMask = kRingSize - 1;
constexpr int kRingHolds = kRingSize - 1;

// Copies up to `count` bytes from the head without moving it; the number copied.
int CopyFromHead(const SocketSlot& s, char* bytes, int count) {
  int n = RingCount(s);
  if (bytes == nullptr || count < 1 || n == 0) return 0;
  if (n > count) n = count;
  int head = s.RingHead & kRingMask;
  int first = n < kRingSize - head ? n : kRingSize - head;
  memcpy(bytes, s.RingData + head, static_cast<size_t>(first));
  memcpy(bytes + first, s.RingData, static_cast<size_t>(n - first));
  return n;
}

}  // namespace

int RingCount(const SocketSlot& s) { return (s.RingTail - s.RingHead) & kRingMask; }

int RingPut(int slot, const char* bytes, int count) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  int room = kRingHolds - RingCount(*s);
  if (bytes == nullptr || count < 1 || room == 0) return 0;
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
  int n = CopyFromHead(*s, bytes, count);
  s->RingHead = (s->RingHead + n) & kRingMask;
  if (s->RingHead == s->RingTail) {
    s->RingHead = 0;
    s->RingTail = 0;
  }
  return n;
}

int BufferedCount(const SocketSlot& s) { return RingCount(s) + (s.AheadTail - s.AheadHead); }

void ClearReceived(SocketSlot& s) {
  s.RingHead = 0;
  s.RingTail = 0;
  s.AheadHead = 0;
  s.AheadTail = 0;
  s.KnownReadable = 0;
}

void FillRingFromAhead(SocketSlot& s, int count) {
  const char* ahead = reinterpret_cast<const char*>(s.AheadData);
  int n = s.AheadTail - s.AheadHead;
  s.AheadHead += RingPut(s.Index, ahead + s.AheadHead, n < count ? n : count);
}

int TakeAhead(SocketSlot& s, char* bytes, int count) {
  int n = s.AheadTail - s.AheadHead;
  if (bytes == nullptr || count < 1 || n == 0) return 0;
  if (n > count) n = count;
  memcpy(bytes, s.AheadData + s.AheadHead, static_cast<size_t>(n));
  s.AheadHead += n;
  return n;
}
