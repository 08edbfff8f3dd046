// Sending POP3 commands and reading their multi-line responses in pieces.
#include <cstring>

#include "api/errors.h"
#include "codec/strings.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/pop3/pop3.h"
#include "net/connections.h"
#include "net/lineio.h"
#include "platform/platform.h"

namespace {

// The read area of one piece: at most 1,023 bytes and a NUL.
constexpr int kPieceArea = 1024;

// The one place a response line is read: what has arrived of it, which
// must be whole within four times ReadWait of its first byte.
int ReadResponseLine(int slot, char* buffer) {
  return WexlReadLineWithin(slot, buffer, kPieceArea, 0, gSettings.ReadWait, 4 * gSettings.ReadWait);
}

}  // namespace

int SendPop3Command(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int nextState,
                    int failCode) {
  int rc = WexlSendLine(ChannelSlot(c), line);
  if (rc < 0) return FailStep(c, rc, failCode);
  // The reply has its whole MaxWait after the first delay, however short
  // MaxWait is set.
  SetTimers(c, now, firstDelay, firstDelay + gSettings.MaxWait);
  c.link.NextState = nextState;
  return kStepDone;
}

// The next piece has MaxWait from the end of this one's read, which may
// itself have taken a while: a piece dribbled in one byte at a time.
void AwaitNextPiece(ChannelContext& c) { SetTimers(c, platform::TickCount(), 0, gSettings.MaxWait); }

void BeginResponse(ChannelContext& c) {
  c.pop.PieceMidLine = 0;
  c.pop.StatusLineRead = 0;
}

int TakePiece(ChannelContext& c, Piece& piece) {
  if (!c.link.HoldsSlot) return FailStep(c, 0, kNotConnected);
  const int slot = ChannelSlot(c);
  if (WexlWaitReadable(slot, 0) != 1) return NotYet(c, kWaitReadable);
  int n = ReadResponseLine(slot, c.link.ReplyBuffer);
  if (n == 0) return NotYet(c, kWaitReadable);
  // Only the final line ends a response: a connection that ends before it
  // has lost the rest.
  if (n == kWexlClosed) return FailStep(c, kWexlClosed, kReadError);
  if (n == kWexlLineTooSlow) return FailStep(c, 0, kTimedOut);
  if (n < 0) return FailStep(c, n, n);
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
