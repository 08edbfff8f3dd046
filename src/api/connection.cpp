#include "api/connection.h"

#include "api/file_out.h"
#include "api/log.h"
#include "api/settings.h"
#include "api/trace.h"
#include "net/connections.h"

namespace {

void CloseSocket(ChannelContext& c, bool orderly) {
  LogText(c, "Closing socket\r\n");
  if (!c.link.HoldsSlot) return;
  DetachTrace(c);
  if (orderly) {
    // Whatever the peer has not taken within the channel's time limit is dropped.
    const int32_t seconds = (gSettings.MaxWait + 999) / 1000;
    WexlCloseWithin(ChannelSlot(c), static_cast<uint16_t>(seconds < 1 ? 1 : seconds > 500 ? 500 : seconds));
  } else {
    WexlCloseNow(ChannelSlot(c));
  }
  c.link.HoldsSlot = 0;
}

}  // namespace

void CloseChannelSocket(ChannelContext& c) { CloseSocket(c, false); }

void CloseChannelAfterQuit(ChannelContext& c) { CloseSocket(c, true); }

void CloseChannelFiles(ChannelContext& c) {
  // What was written so far reaches the file before anything is reported.
  CloseOutFile(c, OutFile::kPart);
  CloseOutFile(c, OutFile::kMail);
}
