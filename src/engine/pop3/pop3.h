// engine/pop3/: the POP3 states: login (USER/PASS, APOP), the mailbox calls
// (STAT, LIST, UIDL, DELE) and downloads (TOP, RETR) into buffers and mail files.
//
// What the POP3 steps share: sending a command, reading a multi-line
// response piece by piece, filling the caller's buffer, counting bytes; and
// the start of the POP3 operations. A Prepare function takes the arguments
// its export has checked, stores them in the record and gives the first
// state, or the code the export returns.
#pragma once

#include <cstdint>

#include "api/context.h"
#include "engine/frame/settings.h"

// A user name or password travels inside one command line: true when it fits
// its field and holds no line break. kovPop3Connect refuses any other rather
// than cut or split it.
bool CredentialFits(const char* text);
// kovPop3Connect, with a valid server name and fitting credentials: 300.
int PreparePop3Connect(ChannelContext& c, const char* server, const char* user, const char* password);

// kovGetEmailUID on a POP3 channel, with a buffer of `size` bytes (128 or
// more): the list (a number below 0) or one message's line goes there; 320.
int PrepareUidList(ChannelContext& c, int number, char* buffer, int size);

// kovGetEmailLines after CheckMailboxCall: the message's header and first
// `lines` lines (none for a negative count) into `buffer` of `size` bytes
// or, for a null buffer, into the channel's own buffer of that size. 311, or
// -55 when the channel's buffer cannot be had.
int PrepareTopLines(ChannelContext& c, int number, int lines, char* buffer, int size);

// kovGetEmailFile after CheckMailboxCall, with its three texts: the message
// saved as `name` in `dir`, its parts in `attachDir`. 310, or -67 when a text
// or the mail file's path does not fit its field.
int PrepareMessageFile(ChannelContext& c, int number, const char* name, const char* dir, const char* attachDir);

// The first checks of a call on one message: -59 on a channel that is not a
// POP3 channel, -64 for a number below 1, else 0.
int CheckMailboxCall(const ChannelContext& c, int number);

// Sends a command line; on success `nextState` follows after `firstDelay` ms,
// and the reply is due within MaxWait after that. A failed send fails the
// step with `failCode` (-51 for the POP3 commands but UIDL, -52 for UIDL)
// and the send's result as socket code.
int SendPop3Command(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int nextState, int failCode);
// As SendPop3Command for a line that carries a secret (PASS, APOP): the log
// shows its first `shown` characters and "*****" in place of the rest. The
// bytes sent are the same.
int SendPop3Secret(ChannelContext& c, uint32_t now, const char* line, int shown, int32_t firstDelay, int nextState,
                   int failCode);

// As SendPop3Secret for a line of any length that ends in CR LF already.
int SendPop3SecretLine(ChannelContext& c, uint32_t now, const char* line, int length, int shown, int32_t firstDelay,
                       int nextState, int failCode);

// The login that follows the greeting (`capaRead` false) or a CAPA response
// (true): CAPA first when STLS is required and TLS not yet up, or when a token
// may meet an offer; STLS (354) when required and offered; an OAuth login
// (370); else APOP or USER. 0 when STLS is required and not offered.
int Pop3LoginState(ChannelContext& c, bool capaRead);

// The first delay after a command that servers answer only after checking a
// password (APOP, PASS).
inline int32_t LoginReplyDelay(const ChannelContext& c) { return c.settings.MinWait + 200; }

// The steps that read a response line themselves, after its last piece:
// the next piece is due within MaxWait of `now`, the step's time (the
// piece was taken in the step, without waiting).
void AwaitNextPiece(ChannelContext& c, uint32_t now);

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
int TakePiece(ChannelContext& c, uint32_t now, Piece& piece);

// Whether a piece is the start of a refused status line ("-ERR").
inline bool Refused(const Piece& p) { return p.status && p.lineStart && p.text[0] != '+'; }

// Copies bytes to UserBuffer after what it holds, as far as UserBufferSize
// allows; bytes beyond it are dropped. Nothing is terminated.
void CopyToUserBuffer(ChannelContext& c, const char* text, int length);
