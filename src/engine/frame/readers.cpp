// The SMTP and POP3 reply readers.
#include "engine/frame/readers.h"

#include "api/errors.h"
#include "codec/strings.h"
#include "engine/frame/collect.h"
#include "engine/frame/settings.h"
#include "engine/frame/step_io.h"
#include "net/connections.h"
#include "net/lineio.h"

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

// One line after another as they arrive; a reply whose final line has not
// come yet stays in the channel for the next call.
int ReadSmtpReply(ChannelContext& c, uint32_t now) {
  const uint32_t limit = static_cast<uint32_t>(c.settings.PollSleep) + static_cast<uint32_t>(c.settings.MaxWait);
  if (!c.link.ReplyPending) {
    BeginCollect(c, now);
    c.link.ReplyCode = 0;
  }
  for (;;) {
    const char* line = c.link.ReplyBuffer + c.link.ReplyLineStart;
    const int got = CollectLine(c, kReplyArea, now);
    if (got < 0) {
      BoundedCopy(c.link.LastReplyLine, line, 127);
      return EndCollect(c, got == kWexlClosed ? Unfinished(c, kWexlClosed) : got);
    }
    if (got == 0) {
      // A line that comes in pieces is judged once its end has arrived.
      if (kReplyArea - c.link.ReplyHeld <= 1) return EndCollect(c, Unfinished(c, kResponseOverflow));
      if (now - c.link.ReplyFirstAt >= limit) return EndCollect(c, Unfinished(c, kTimedOut));
      return CollectLater(c, c.link.ReplyFirstAt + limit);
    }
    BoundedCopy(c.link.LastReplyLine, line, 127);
    if (c.link.ReplyCode == 0) c.link.ReplyCode = LeadingNumber(line);
    if (line[3] == ' ' || line[3] == '\r') return EndCollect(c, c.link.ReplyCode >= 500 ? kSmtpError : 0);
    c.link.ReplyLineStart = c.link.ReplyHeld;
    // CollectLine leaves room for its NUL: one byte left means the area is full.
    if (kReplyArea - c.link.ReplyHeld <= 1) return EndCollect(c, Unfinished(c, kResponseOverflow));
  }
}

namespace {

// The status line is whole: "+" or anything else.
int JudgeStatus(ChannelContext& c) {
  BoundedCopy(c.link.LastReplyLine, c.link.ReplyBuffer, 128);
  if (c.link.ReplyBuffer[0] == '+') {
    c.link.ReplyCode = 100;
    return 0;
  }
  c.link.ReplyCode = 500;
  return kPop3Error;
}

// The status line stopped before its end: the peer closed or stalled.
int Stopped(ChannelContext& c) {
  BoundedCopy(c.link.LastReplyLine, c.link.ReplyBuffer, 128);
  return WexlIsOpen(ChannelSlot(c)) == 1 ? kTimedOut : kWexlClosed;
}

}  // namespace

// A status line that trickles in must be whole within four times ReadWait of
// its first byte, with no pause of MaxWait or more between its pieces.
int ReadPop3Reply(ChannelContext& c, uint32_t now) {
  if (!c.link.ReplyPending) {
    BeginCollect(c, now);
    c.link.Deadline = 0;
  }
  const int got = CollectLine(c, kReplyArea, now);
  if (got == 1) return EndCollect(c, JudgeStatus(c));
  if (got < 0) {
    if (c.link.ReplyHeld > 0) return EndCollect(c, Stopped(c));
    BoundedCopy(c.link.LastReplyLine, c.link.ReplyBuffer, 128);
    return EndCollect(c, got);
  }
  // A status line longer than its area would leave its rest to answer the
  // next command.
  if (kReplyArea - c.link.ReplyHeld <= 1) return EndCollect(c, kResponseOverflow);
  const uint32_t whole = c.link.ReplyFirstAt + 4 * static_cast<uint32_t>(c.settings.ReadWait);
  const uint32_t stall = c.link.ReplyLastAt + static_cast<uint32_t>(c.settings.MaxWait);
  if (static_cast<int32_t>(now - whole) >= 0) return EndCollect(c, kTimedOut);
  if (static_cast<int32_t>(now - stall) >= 0) return EndCollect(c, Stopped(c));
  return CollectLater(c, static_cast<int32_t>(whole - stall) < 0 ? whole : stall);
}
