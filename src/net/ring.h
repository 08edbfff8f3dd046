// The receive ring of a slot: 256 bytes of RingData between RingHead (next
// byte to read) and RingTail (next free place), so it holds at most 255
// bytes. An empty ring always has both indices at 0. When the ring is filled
// from the read-ahead buffer, it holds those bytes where they are (RingLent)
// instead of copying them; what it shows and counts is the same either way.
#pragma once

#include "net/slots.h"

// Bytes buffered in the ring.
int RingCount(const SocketSlot& s);
// Bytes received and not yet delivered: the ring and the read-ahead buffer.
int BufferedCount(const SocketSlot& s);
// Forgets everything received and not yet delivered.
void ClearReceived(SocketSlot& s);
// Moves up to `count` bytes (what fits) from the read-ahead buffer into the ring.
void FillRingFromAhead(SocketSlot& s, int count);
// Takes up to `count` bytes from the read-ahead buffer, none while the ring
// holds bytes (they come first); the number taken.
int TakeAhead(SocketSlot& s, char* bytes, int count);
// The bytes at the ring's head that lie in one piece of memory (all of a
// ring held in place), without taking them: their start, and their number in
// `count` (0 for an empty ring).
const char* RingSpan(const SocketSlot& s, int* count);
// Takes up to `count` bytes from the ring's head without copying them; the
// number taken.
int RingSkip(SocketSlot& s, int count);

// Each returns the number of bytes stored, removed or copied, or -1003 for a
// slot number outside the slot count. RingPut stores only what fits.
int RingPut(int slot, const char* bytes, int count);
int RingTake(int slot, char* bytes, int count);
int RingPeek(int slot, char* bytes, int count);
