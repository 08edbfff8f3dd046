// Sending POP3 commands and reading their multi-line responses in pieces.
#include <cstring>

#include "api/errors.h"
#include "codec/strings.h"
#include "engine/pop3/pop3.h"
#include "engine/frame/collect.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "net/connections.h"
#include "net/lineio.h"

namespace {

// The read area of one piece: at most 1,023 bytes and a NUL.
constexpr int kPieceArea = 1024;

// The one place a response line is read, across calls: what has arrived of
// it is held until its LF, a full area, or a pause of ReadWait makes it a
// piece; the line must be whole within four times ReadWait of its first
// byte. 0 with a piece in ReplyBuffer[0..ReplyHeld), the step's "not yet"
// while it waits, or the failure's result.
int CollectPiece(ChannelContext& c, uint32_t now) {
  if (!c.link.ReplyPending) {
    if (WexlWaitReadable(ChannelSlot(c), 0) != 1) return NotYet(c, kWaitReadable);
    BeginCollect(c, now);
  }
  const int got = CollectLine(c, kPieceArea, now);
  const int held = c.link.ReplyHeld;
  // Only the final line ends a response: a connection that ends before it
  // has lost the rest; held bytes still go as a piece, the next read tells.
  if (got < 0 && held == 0) {
    EndCollect(c, 0);
    return got == kWexlClosed ? FailStep(c, kWexlClosed, kReadError) : FailStep(c, got, got);
  }
  if (got == 0 && held < kPieceArea - 1) {
    const uint32_t whole = c.link.ReplyFirstAt + 4 * static_cast<uint32_t>(c.settings.ReadWait);
    const uint32_t pause = c.link.ReplyLastAt + static_cast<uint32_t>(c.settings.ReadWait);
    if (static_cast<int32_t>(now - whole) >= 0) return FailStep(c, 0, kTimedOut);
    if (held == 0) {
      // Nothing came after all: the step's own deadline governs the wait.
      EndCollect(c, 0);
      return NotYet(c, kWaitReadable);
    }
    if (static_cast<int32_t>(now - pause) < 0) {
      CollectLater(c, static_cast<int32_t>(whole - pause) < 0 ? whole : pause);
      return NotYet(c, kWaitReadable);
    }
  }
  return EndCollect(c, 0);
}

// The reply has its whole MaxWait after the first delay, however short
// MaxWait is set.
int AfterCommandSent(ChannelContext& c, uint32_t now, int sent, int32_t firstDelay, int nextState, int failCode) {
  if (sent < 0) return FailStep(c, sent, failCode);
  SetTimers(c, now, firstDelay, firstDelay + c.settings.MaxWait);
  c.link.NextState = nextState;
  return kStepDone;
}

}  // namespace

int SendPop3Command(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int nextState,
                    int failCode) {
  DiscardUnread(c);
  return AfterCommandSent(c, now, WexlSendLine(ChannelSlot(c), line), firstDelay, nextState, failCode);
}

int SendPop3Secret(ChannelContext& c, uint32_t now, const char* line, int shown, int32_t firstDelay, int nextState,
                   int failCode) {
  // The line and its CR LF go as one masked send.
  char whole[sizeof c.link.CommandBuffer + 2];
  const int length = BoundedCopy(whole, line, static_cast<int>(sizeof whole) - 3);
  memcpy(whole + length, "\r\n", 3);
  return SendPop3SecretLine(c, now, whole, length + 2, shown, firstDelay, nextState, failCode);
}

int SendPop3SecretLine(ChannelContext& c, uint32_t now, const char* line, int length, int shown, int32_t firstDelay,
                       int nextState, int failCode) {
  DiscardUnread(c);
  const int sent = WexlSendMasked(ChannelSlot(c), line, length, shown);
  return AfterCommandSent(c, now, sent, firstDelay, nextState, failCode);
}

void AwaitNextPiece(ChannelContext& c, uint32_t now) { SetTimers(c, now, 0, c.settings.MaxWait); }

void BeginResponse(ChannelContext& c) {
  c.pop.PieceMidLine = 0;
  c.pop.StatusLineRead = 0;
}

int TakePiece(ChannelContext& c, uint32_t now, Piece& piece) {
  if (!c.link.HoldsSlot) return FailStep(c, 0, kNotConnected);
  if (int rc = CollectPiece(c, now)) return rc;
  const int n = c.link.ReplyHeld;
  piece.text = c.link.ReplyBuffer;
  piece.length = n;
  piece.lineStart = c.pop.PieceMidLine == 0;
  piece.endsLine = c.link.ReplyBuffer[n - 1] == '\n';
  piece.status = c.pop.StatusLineRead == 0;
  c.pop.PieceMidLine = piece.endsLine ? 0 : 1;
  if (piece.status && piece.endsLine) c.pop.StatusLineRead = 1;
  if (piece.status && piece.lineStart) {
    c.link.ReplyCode = piece.text[0] == '+' ? 100 : 500;
    BoundedCopy(c.link.LastReplyLine, piece.text, 128);
  }
  return 0;
}

void CopyToUserBuffer(ChannelContext& c, const char* text, int length) {
  if (c.pop.UserBuffer == nullptr || length <= 0) return;
  const int room = c.pop.UserBufferSize - c.pop.UserBufferLength;
  const int n = length < room ? length : room;
  if (n <= 0) return;
  memcpy(c.pop.UserBuffer + c.pop.UserBufferLength, text, static_cast<size_t>(n));
  c.pop.UserBufferLength += n;
}
