#include "engine/frame/collect.h"

#include "api/log.h"
#include "engine/frame/step_io.h"
#include "net/lineio.h"

void BeginCollect(ChannelContext& c, uint32_t now) {
  if (c.link.ReplyPending) return;
  c.link.ReplyPending = 1;
  c.link.ReplyHeld = 0;
  c.link.ReplyTraced = 0;
  c.link.ReplyLineStart = 0;
  c.link.ReplyFirstAt = now;
  c.link.ReplyLastAt = now;
  c.link.ReplyWakeAt = now;
  c.link.ReplyBuffer[0] = '\0';
}

int CollectLine(ChannelContext& c, int area, uint32_t now) {
  char* at = c.link.ReplyBuffer + c.link.ReplyHeld;
  const int room = area - c.link.ReplyHeld;
  // No limits: only what the ring, the read-ahead and the socket hold now.
  const int n = room > 1 ? WexlTakeLine(ChannelSlot(c), at, room) : 0;
  if (n < 0) return n;
  if (n == 0) return 0;
  c.link.ReplyHeld += n;
  c.link.ReplyLastAt = now;
  const bool ended = at[n - 1] == '\n';
  if (ended || n == room - 1) TraceCollected(c);
  return ended ? 1 : 0;
}

int EndCollect(ChannelContext& c, int result) {
  TraceCollected(c);
  c.link.ReplyPending = 0;
  return result;
}

void TraceCollected(ChannelContext& c) {
  if (!c.link.ReplyPending || c.link.ReplyTraced >= c.link.ReplyHeld) return;
  // The socket trace of the channel's connection is the channel's log.
  if (c.diag.LogHandle != 0 && c.link.HoldsSlot) {
    LogRecord(c, "R: ", 3, c.link.ReplyBuffer + c.link.ReplyTraced, c.link.ReplyHeld - c.link.ReplyTraced);
  }
  c.link.ReplyTraced = c.link.ReplyHeld;
}

int CollectLater(ChannelContext& c, uint32_t wakeAt) {
  c.link.ReplyWakeAt = wakeAt;
  return kReplyPending;
}
