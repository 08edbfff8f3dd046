// The receive ring of a slot: 256 bytes of RingData between RingHead (next
// byte to read) and RingTail (next free place), so it holds at most 255
// bytes. An empty ring always has both indices at 0.
#pragma once

#include "net/slots.h"

// Bytes buffered in the ring.
int RingCount(const SocketSlot& s);

// Each returns the number of bytes stored, removed or copied, or -1003 for a
// slot number outside the slot count. RingPut stores only what fits.
int RingPut(int slot, const char* bytes, int count);
int RingTake(int slot, char* bytes, int count);
int RingPeek(int slot, char* bytes, int count);
