// What the POP3 steps share: sending a command, reading a multi-line
// response piece by piece, filling the caller's buffer, counting bytes.
#pragma once

#include <cstdint>

#include "api/context.h"
#include "engine/frame/settings.h"
#include "engine/frame/operation.h"

// The mailbox calls need the channel's own connection (-44 otherwise); their
// POP3 kind is checked after the entry line.
constexpr OperationRules MailboxRules(const char* name) { return {name, 0, OperationRules::kNoKind, 0, true, true}; }

// The first checks of a call on one message: -59 on a channel that is not a
// POP3 channel, -64 for a number below 1, else 0.
int CheckMailboxCall(const ChannelContext& c, int number);

// Sends a command line; on success `nextState` follows after `firstDelay` ms,
// and the reply is due within MaxWait after that. A failed send fails the
// step with `failCode` (-51 for the POP3 commands but UIDL, -52 for UIDL)
// and the send's result as socket code.
int SendPop3Command(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int nextState, int failCode);

// The first delay after a command that servers answer only after checking a
// password (APOP, PASS).
inline int32_t LoginReplyDelay() { return gSettings.MinWait + 200; }

// The steps that read a response line themselves, after its last piece:
// the next piece is due within MaxWait.
void AwaitNextPiece(ChannelContext& c);

// Adds `n` bytes to a counter, which stops at INT32_MAX.
inline void AddCount(int32_t& counter, int n) { counter = n > INT32_MAX - counter ? INT32_MAX : counter + n; }

// One piece of a multi-line response, as it arrived: a whole line, or part of
// a line longer than the read area (or of one that stalled).
struct Piece {
  char* text;  // NUL-terminated, in the channel's ReplyBuffer
  int length;
  bool lineStart;  // it starts a line: only here a final "." or a stuffed dot can stand
  bool endsLine;   // it ends with LF
  bool status;     // it belongs to the response's status line
};

// Starts reading a new multi-line response: its next piece starts the
// status line.
void BeginResponse(ChannelContext& c);

// Reads the next piece of the response. 0 with `piece` filled; the step's
// "not yet" when nothing has arrived; or FailStep's result: -51 (socket code
// -1) when the connection closed before the response ended, -8 when a line
// takes longer than four times ReadWait from its first byte, the socket
// layer's code for another failure, -44 without a connection. The first
// piece of the status line sets ReplyCode (100 for '+', 500 otherwise) and
// LastReplyLine.
int TakePiece(ChannelContext& c, Piece& piece);

// Whether a piece is the start of a refused status line ("-ERR").
inline bool Refused(const Piece& p) { return p.status && p.lineStart && p.text[0] != '+'; }

// Copies bytes to UserBuffer after what it holds, as far as UserBufferSize
// allows; bytes beyond it are dropped. Nothing is terminated.
void CopyToUserBuffer(ChannelContext& c, const char* text, int length);
