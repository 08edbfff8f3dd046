// The output buffer of a slot: sends gather here and are handed to the
// system in large pieces. Handing over never waits unless a function says
// so; a failure is kept in SendError, clears OpenFlag and drops what waited.
#pragma once

#include <cstdint>

#include "net/slots.h"

// Bytes waiting to be handed over.
inline int OutputCount(const SocketSlot& s) { return s.OutTail - s.OutHead; }

// Whether anything still waits to be handed over: plaintext, or a TLS slot's
// ciphertext.
bool OutputWaits(const SocketSlot& s);
// Records a failed hand-over: `code`, or 0 for the thread's last sockets
// error, becomes SendError; OpenFlag is cleared and the waiting bytes are
// dropped. SendError.
int FailOutput(SocketSlot& s, int code);
// Forgets the waiting bytes and any failure: the slot gets a new socket.
void ClearOutput(SocketSlot& s);
// Hands over what the system takes now: 1000 (bytes may still wait), or the
// failure.
int PushOutput(SocketSlot& s);
// Hands over everything, waiting up to limitMs for room: 1000 when nothing
// waits any more, 0 when the time ran out (or the socket cannot become
// writable) first, or the failure.
int FlushOutput(SocketSlot& s, uint32_t limitMs);
// Appends bytes. What does not fit is made room for by handing the waiting
// bytes over, waiting for the peer to take them up to the slot's
// SendWaitLimit (without one, as long as a blocking send would): the length,
// -1 when the slot has no socket or no room came in time (nothing of a send
// that fits the buffer is taken then), or the failure.
int QueueOutput(SocketSlot& s, const char* data, int length);
