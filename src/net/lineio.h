// Sending and line-oriented receiving on a connected slot. Received bytes
// pass through the slot's 256-byte ring: when it is empty, a peek moves at
// most the bytes it asks for into it from the read-ahead buffer, which one
// receive of up to 16 KiB refills when it is empty; bytes in either count as
// readable. With a TraceHandle set, the data
// is traced: "S: " and what was sent, "R: " and what was taken from the ring,
// "r: " and what was taken past the ring (read-ahead or socket).
// Results: counts, 0 where stated, -1 for a connection that is closed or
// unusable (OpenFlag is cleared when the system reports it), -1003 for a slot
// number outside the slot count, -1010 for a length below 1 or no buffer, or
// a negated Windows Sockets error.
#pragma once

#include "net/slots.h"

// Sends the whole buffer once the socket is writable within the slot's
// SendWaitLimit (-1 otherwise, nothing sent); the length on success.
int WexlSend(int slot, const char* buffer, int length);
// As WexlSend for a line that carries a secret (a password, credentials):
// the trace shows only its first `shown` bytes (the command word) and "*****".
int WexlSendMasked(int slot, const char* buffer, int length, int shown);
// Sends a NUL-terminated text without its NUL.
int WexlSendText(int slot, const char* text);
// Sends a text and CR LF: in one send below 126 characters, else the text and
// then CR LF. The bytes sent including the CR LF.
int WexlSendLine(int slot, const char* text);

// Copies up to `length` (at most 255) buffered bytes without taking them,
// refilling the ring when it is empty; 0 when nothing is there. No NUL.
int WexlPeek(int slot, char* buffer, int length);
// Takes up to `length` bytes: first from the ring, then from the read-ahead
// buffer, then the rest directly from the socket if it is readable now. The
// bytes delivered.
int WexlTake(int slot, char* buffer, int length);
// Takes what is buffered up to and including the first LF (at most
// capacity - 1 bytes) and stores a NUL after it; 0 when nothing is there.
int WexlGetLine(int slot, char* buffer, int capacity);
// Reads one line, CR LF kept: waits up to firstLimitMs for data (0 and the
// buffer untouched when none comes), then gathers pieces while each next one
// arrives within nextLimitMs, until an LF ends the line or the buffer is full
// (capacity - 1 bytes). NUL-terminated; the bytes in the buffer.
int WexlReadLine(int slot, char* buffer, int capacity, int firstLimitMs, int nextLimitMs);
// Throws away everything buffered and everything readable at once; 1000.
int WexlDrain(int slot);
