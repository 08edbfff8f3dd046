// The failure path every step shares, and the closing of a channel's socket.
#include "api/errors.h"
#include "api/log.h"
#include "api/trace.h"
#include "engine/driver.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

// Writes the text of a code (at most 127 characters, no line end of its own).
void LogCodeText(ChannelContext& c, int code) {
  if (kovErrorText(c.ChannelNumber, code, c.ScratchBuffer, 128) > 0) LogText(c, c.ScratchBuffer);
}

}  // namespace

int FailStep(ChannelContext& c, int sockCode, int kovCode) {
  if (c.LogHandle != 0) {
    LogFormat(c, "ERROR(%ld): SockCode=%d KovCode=%d PrevState=%d ThisState=%d NextState=%d\r\n",
              static_cast<long>(platform::TickCount()), sockCode, kovCode, c.PrevState, c.ThisState, c.NextState);
    if (kovCode < 0) LogCodeText(c, kovCode);
    if (sockCode < 0) LogCodeText(c, sockCode);
  }
  if (kovCode < 0) {
    c.NextState = 0;
    c.PrevState = c.ThisState;
    c.ThisState = -1;
    c.LastSockCode = sockCode;
    CloseChannelSocket(c);
  }
  platform::SleepMs(0);
  return kovCode;
}

int FailReply(ChannelContext& c, int readerResult) {
  if (readerResult == kWexlClosed) return FailStep(c, kWexlClosed, kReadError);
  return FailStep(c, 0, readerResult);
}

void CloseChannelSocket(ChannelContext& c) {
  LogText(c, "Closing socket\r\n");
  if (!c.HoldsSlot) return;
  DetachTrace(c);
  WexlClose(static_cast<int>(c.SlotNumber));
  c.HoldsSlot = 0;
}
