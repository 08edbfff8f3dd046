// The SMTP and POP3 reply readers.
#include "api/errors.h"
#include "api/settings.h"
#include "codec/strings.h"
#include "engine/driver.h"
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

}  // namespace

int ReadSmtpReply(ChannelContext& c) {
  const int slot = static_cast<int>(c.SlotNumber);
  const int nextWait = gSettings.MaxWait > 1 ? 1 : 0;
  const uint32_t end = platform::TickCount() + static_cast<uint32_t>(gSettings.PollSleep + gSettings.MaxWait);
  c.ReplyCode = 0;
  char* line = c.ReplyBuffer;  // start of the line being read
  char* position = line;       // where the next bytes go
  int room = kReplyArea;
  while (platform::TickCount() < end) {
    int n = WexlReadLine(slot, position, room, 0, nextWait);
    if (n == kWexlClosed) return position == c.ReplyBuffer ? kWexlClosed : 0;
    if (n == 0) {
      // Nothing yet: wait in the system for the rest of the reply, not in a loop.
      uint32_t now = platform::TickCount();
      if (now < end) WexlWaitReady(slot, 1, end - now);
      continue;
    }
    if (n < 0) {
      BoundedCopy(c.LastReplyLine, line, 127);
      return n;
    }
    position += n;
    room -= n;
    // WexlReadLine leaves room for its NUL: one byte left means the area is full.
    if (position[-1] != '\n') {
      // A line that came in pieces is judged once its end has arrived.
      if (room <= 1) return kResponseOverflow;
      continue;
    }
    BoundedCopy(c.LastReplyLine, line, 127);
    if (c.ReplyCode == 0) {
      c.ReplyCode = LeadingNumber(line);
      if (c.ReplyCode >= 500) return kSmtpError;
    }
    if (line[3] == ' ' || line[3] == '\r') return 0;
    line = position;
    if (room <= 1) return kResponseOverflow;
  }
  return 0;
}

int ReadPop3Reply(ChannelContext& c) {
  const int slot = static_cast<int>(c.SlotNumber);
  c.Deadline = 0;
  if (WexlWaitReadable(slot, gSettings.ReadWait) != 1) return kTimedOut;
  int n = WexlReadLine(slot, c.ReplyBuffer, kReplyArea, gSettings.MaxWait, gSettings.MaxWait);
  if (n == kWexlClosed) return kWexlClosed;
  BoundedCopy(c.LastReplyLine, c.ReplyBuffer, 128);
  if (n < 0) return n;
  if (c.ReplyBuffer[0] == '+') {
    c.ReplyCode = 100;
    return 0;
  }
  c.ReplyCode = 500;
  return kPop3Error;
}
