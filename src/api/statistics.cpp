// kovStatistics: counters and results of a channel.
#include "api/channels.h"
#include "api/errors.h"
#include "api/version.h"
#include "kov32.h"
#include "net/connections.h"

namespace {

// -36 when the connection reports an exception, else whether it is writable.
int ConnectionState(const ChannelContext& c) {
  if (!c.link.HoldsSlot) return 0;
  int slot = static_cast<int>(c.link.SlotNumber);
  if (WexlReady(slot, kWexlException) == 1) return kConnectError;
  return WexlReady(slot, kWexlWritable) == 1 ? 1 : 0;
}

}  // namespace

extern "C" KOV_API int KOV_CALL kovStatistics(int channel, int selector) {
  if (int rc = CheckChannel(channel)) return rc;
  const ChannelContext& c = Channel(channel);
  switch (selector) {
    case KOV_STAT_STEPS:
      return c.link.StepCount;
    case KOV_STAT_REPLY_CODE:
      return c.link.ReplyCode;
    case KOV_STAT_SOCK_CODE:
      return c.link.LastSockCode;
    case KOV_STAT_TEXT_IN:
      return c.diag.TextBytesIn;
    case KOV_STAT_ATTACH_IN:
      return c.diag.AttachBytesIn;
    case KOV_STAT_BYTES_IN:
      return c.diag.TextBytesIn + c.diag.AttachBytesIn;
    case KOV_STAT_TEXT_OUT:
      return c.diag.TextBytesOut;
    case KOV_STAT_ATTACH_OUT:
      return c.diag.AttachBytesOut;
    case KOV_STAT_BYTES_OUT:
      return c.diag.TextBytesOut + c.diag.AttachBytesOut;
    case KOV_STAT_VERSION:
      return kLibraryVersion;
    case KOV_STAT_MESSAGE_COUNT:
      return static_cast<int>(c.pop.MessageCount);
    case KOV_STAT_MESSAGE_SIZE:
      return c.pop.MessageSize;
    case KOV_STAT_BUFFER_LENGTH:
      return c.pop.UserBufferLength;
    case KOV_STAT_CONNECTION:
      return ConnectionState(c);
    case KOV_STAT_ATTACHMENTS_SAVED:
      return c.decoder.AttachmentsSaved;
    case KOV_STAT_VERIFY_RESULT:
      return c.smtp.VerifyResult;
    case KOV_STAT_BUILD:
      return kLibraryBuild;
    case KOV_STAT_SLOT:
      return static_cast<int>(c.link.SlotNumber);
    case KOV_STAT_RCPT_COUNT:
      return c.smtp.RcptCount;
    default:
      return -1;
  }
}
