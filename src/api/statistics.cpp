// kovStatistics: counters and results of a channel.
#include "api/channels.h"
#include "api/errors.h"
#include "api/version.h"
#include "kov32.h"
#include "net/connections.h"

namespace {

// -36 when the connection reports an exception, else whether it is writable.
int ConnectionState(const ChannelContext& c) {
  if (!c.HoldsSlot) return 0;
  int slot = static_cast<int>(c.SlotNumber);
  if (WexlReady(slot, 3) == 1) return kConnectError;
  return WexlReady(slot, 2) == 1 ? 1 : 0;
}

}  // namespace

extern "C" KOV_API int KOV_CALL kovStatistics(int channel, int selector) {
  if (int rc = CheckChannel(channel)) return rc;
  const ChannelContext& c = Channel(channel);
  switch (selector) {
    case 2:
      return c.StepCount;
    case 3:
      return c.ReplyCode;
    case 4:
      return c.LastSockCode;
    case 10:
      return c.TextBytesIn;
    case 11:
      return c.AttachBytesIn;
    case 12:
      return c.TextBytesIn + c.AttachBytesIn;
    case 13:
      return c.TextBytesOut;
    case 14:
      return c.AttachBytesOut;
    case 15:
      return c.TextBytesOut + c.AttachBytesOut;
    case 16:
      return kLibraryVersion;
    case 17:
      return static_cast<int>(c.MessageCount);
    case 18:
      return c.MessageSize;
    case 19:
      return c.UserBufferLength;
    case 20:
      return ConnectionState(c);
    case 22:
      return c.AttachmentsSaved;
    case 24:
      return c.VerifyResult;
    case 26:
      return kLibraryBuild;
    case 27:
      return static_cast<int>(c.SlotNumber);
    case 30:
      return c.RcptCount;
    default:
      return -1;
  }
}
