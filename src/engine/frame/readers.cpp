// The SMTP and POP3 reply readers.
#include "engine/frame/readers.h"

#include "api/errors.h"
#include "codec/strings.h"
#include "engine/frame/settings.h"
#include "engine/frame/step_io.h"
#include "net/connections.h"
#include "net/lineio.h"
#include "platform/platform.h"

namespace {

constexpr int kReplyArea = 1024;

// The decimal value of a line's leading digits (at most ten), 0 without any.
int32_t LeadingNumber(const char* line) {
  uint32_t value = 0;
  for (int i = 0; i < 10 && line[i] >= '0' && line[i] <= '9'; ++i)
    value = value * 10 + static_cast<uint32_t>(line[i] - '0');
  return static_cast<int32_t>(value);
}

// How a reply that stopped before its final line ends: once a line of code
// 500 or more has come, the rejection stands whatever follows; otherwise the
// reply is unfinished and fails with the reason it stopped.
int Unfinished(const ChannelContext& c, int reason) { return c.link.ReplyCode >= 500 ? kSmtpError : reason; }

}  // namespace

int ReadSmtpReply(ChannelContext& c) {
  const int slot = ChannelSlot(c);
  const int nextWait = gSettings.MaxWait > 1 ? 1 : 0;
  const uint32_t start = platform::TickCount();
  const uint32_t limit = static_cast<uint32_t>(gSettings.PollSleep) + static_cast<uint32_t>(gSettings.MaxWait);
  c.link.ReplyCode = 0;
  char* line = c.link.ReplyBuffer;  // start of the line being read
  char* position = line;       // where the next bytes go
  int room = kReplyArea;
  for (;;) {
    const uint32_t elapsed = platform::TickCount() - start;
    if (elapsed >= limit) return Unfinished(c, kTimedOut);
    int n = WexlReadLine(slot, position, room, 0, nextWait);
    if (n == 0) {
      // Nothing yet: wait in the system for the rest of the reply, not in a loop.
      WexlWaitReady(slot, kWexlReadable, limit - elapsed);
      continue;
    }
    if (n < 0) {
      BoundedCopy(c.link.LastReplyLine, line, 127);
      return n == kWexlClosed ? Unfinished(c, kWexlClosed) : n;
    }
    position += n;
    room -= n;
    // WexlReadLine leaves room for its NUL: one byte left means the area is full.
    if (position[-1] != '\n') {
      // A line that came in pieces is judged once its end has arrived.
      if (room <= 1) return Unfinished(c, kResponseOverflow);
      continue;
    }
    BoundedCopy(c.link.LastReplyLine, line, 127);
    if (c.link.ReplyCode == 0) c.link.ReplyCode = LeadingNumber(line);
    if (line[3] == ' ' || line[3] == '\r') return c.link.ReplyCode >= 500 ? kSmtpError : 0;
    line = position;
    if (room <= 1) return Unfinished(c, kResponseOverflow);
  }
}

int ReadPop3Reply(ChannelContext& c) {
  const int slot = ChannelSlot(c);
  c.link.Deadline = 0;
  if (WexlWaitReadable(slot, gSettings.ReadWait) != 1) return kTimedOut;
  // A status line that trickles in must still be whole within four times ReadWait.
  int n =
      WexlReadLineWithin(slot, c.link.ReplyBuffer, kReplyArea, gSettings.MaxWait, gSettings.MaxWait, 4 * gSettings.ReadWait);
  if (n == kWexlClosed) return kWexlClosed;
  if (n == kWexlLineTooSlow) return kTimedOut;
  BoundedCopy(c.link.LastReplyLine, c.link.ReplyBuffer, 128);
  if (n < 0) return n;
  if (n > 0 && n < kReplyArea - 1 && c.link.ReplyBuffer[n - 1] != '\n') {
    // The status line stopped before its end: the peer closed or stalled.
    return WexlIsOpen(slot) == 1 ? kTimedOut : kWexlClosed;
  }
  if (c.link.ReplyBuffer[0] == '+') {
    c.link.ReplyCode = 100;
    return 0;
  }
  c.link.ReplyCode = 500;
  return kPop3Error;
}
