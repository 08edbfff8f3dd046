// Sending and line-oriented receiving on a connected slot. Sends gather in
// the slot's output buffer, which goes to the system in one piece when it is
// full, before any read, readiness test or wait on the slot, on WexlFlush and
// on close; a send that the system refuses shows at that hand-over and in
// every send and read after it. Received bytes pass through the slot's
// 256-byte ring: when it is empty, a peek moves at most the bytes it asks for
// into it from the read-ahead buffer, which one receive of up to 64 KiB
// refills when it is empty; bytes in either count as readable. With a
// TraceHandle set, the data is traced: "S: " and what was sent (when it is
// handed to the send), "R: " and what was taken from the ring, "r: " and what
// was taken past the ring (read-ahead or socket).
// Results: counts, 0 where stated, -1 for a connection that is closed or
// unusable (OpenFlag is cleared when the system reports it), -1003 for a slot
// number outside the slot count, -1010 for a length below 1 or no buffer, or
// a negated Windows Sockets error.
#pragma once

#include "net/slots.h"

// Sends the whole buffer: the length; -1 when the slot holds no socket, or
// when the output buffer had to make room and the peer took nothing within
// the slot's SendWaitLimit (0: no limit); or the failure of a hand-over.
int WexlSend(int slot, const char* buffer, int length);
// As WexlSend for a line that carries a secret (a password, credentials):
// the trace shows only its first `shown` bytes (the command word) and "*****".
int WexlSendMasked(int slot, const char* buffer, int length, int shown);
// Sends a NUL-terminated text without its NUL.
int WexlSendText(int slot, const char* text);
// Sends a text and CR LF: in one send below 126 characters, else the text and
// then CR LF. The bytes sent including the CR LF.
int WexlSendLine(int slot, const char* text);

// Hands everything sent so far to the system, waiting up to limitMs for room
// (0: what the system takes now): 1000 when nothing waits any more, 0 when
// the limit passed first, or the failure (a negated Windows Sockets error;
// OpenFlag is cleared and the waiting bytes are dropped).
int WexlFlush(int slot, int limitMs);
// 1 when the output buffer has room for kSendRoom more bytes, handing what
// waits to the system first if that is needed and possible now; 0 when the
// system has not taken enough yet; -1 without a socket, or the failure.
int WexlCanSend(int slot);

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
// As WexlReadLine, and the line must also be whole (LF or a full buffer)
// within totalLimitMs of taking its first piece, else -1011
// (kWexlLineTooSlow; what was taken is dropped). A totalLimitMs of 0 or less
// sets no overall limit.
int WexlReadLineWithin(int slot, char* buffer, int capacity, int firstLimitMs, int nextLimitMs, int totalLimitMs);
// As WexlReadLine without any wait (what the ring, the read-ahead buffer
// and the socket hold now) and without a trace record: a caller that gathers
// a line over several calls traces it once, as "R: " and the line.
int WexlTakeLine(int slot, char* buffer, int capacity);
// Throws away everything buffered and everything readable at once; 1000.
int WexlDrain(int slot);
