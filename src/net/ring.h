// The receive ring of a slot: 256 bytes of RingData between RingHead (next
// byte to read) and RingTail (next free place), so it holds at most 255
// bytes. An empty ring always has both indices at 0.
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
// Takes up to `count` bytes from the read-ahead buffer; the number taken.
int TakeAhead(SocketSlot& s, char* bytes, int count);

// Each returns the number of bytes stored, removed or copied, or -1003 for a
// slot number outside the slot count. RingPut stores only what fits.
int RingPut(int slot, const char* bytes, int count);
int RingTake(int slot, char* bytes, int count);
int RingPeek(int slot, char* bytes, int count);
