// What a channel reports to the application: kovStatistics's counters and
// results, kovDebug's texts and its memory check of channel -2.
#include <cstdio>

#include "api/blocks.h"
#include "api/errors.h"
#include "api/library.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/frame/step_io.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

// -36 when the connection reports an exception, else whether it is writable.
int ConnectionState(const ChannelContext& c) {
  if (!c.link.HoldsSlot) return 0;
  int slot = static_cast<int>(c.link.SlotNumber);
  if (WexlReady(slot, kWexlException) == 1) return kConnectError;
  return WexlReady(slot, kWexlWritable) == 1 ? 1 : 0;
}

// Copies a text into the caller's buffer of `size` bytes; characters placed.
int Place(char* buffer, int size, const char* text) { return BoundedCopy(buffer, text, size - 1); }

int LastReply(const ChannelContext& c, char* buffer, int size) {
  int n = BoundedCopy(buffer, c.link.LastReplyLine, size - 1 < 128 ? size - 1 : 128);
  if (n >= 2 && buffer[n - 2] == '\r' && buffer[n - 1] == '\n') return n - 2;
  return n;
}

int LocalAddress(const ChannelContext& c, char* buffer, int size) {
  if (!c.link.HoldsSlot || WexlIsOpen(static_cast<int>(c.link.SlotNumber)) != 1) return 0;
  int n = WexlLocalAddress(static_cast<int>(c.link.SlotNumber), buffer, size);
  if (n <= 0) buffer[0] = '\0';
  return n < 0 ? 0 : n;
}

int MailLines(const ChannelContext& c, char* buffer, int size) {
  uint16_t id = BlockId(c.ChannelNumber, kMailLinesSlot);
  const char* data = BlockData(id);
  if (data == nullptr) return kNullPointer;
  int blockSize = BlockSize(id);
  if (blockSize <= 0) return 0;
  int limit = size - 1 < blockSize ? size - 1 : blockSize;
  return BoundedCopy(buffer, data, limit);
}

// The session's version, cipher and certificate names; empty without TLS.
int TlsText(const ChannelContext& c, char* buffer, int size) {
  const int n = c.link.HoldsSlot ? WexlTlsDescribe(ChannelSlot(c), buffer, size) : 0;
  if (n <= 0) buffer[0] = '\0';
  return n < 0 ? 0 : n;
}

}  // namespace

int ChannelStatistic(const ChannelContext& c, int selector) {
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
      return SaturatingAdd(c.diag.TextBytesIn, c.diag.AttachBytesIn);
    case KOV_STAT_TEXT_OUT:
      return c.diag.TextBytesOut;
    case KOV_STAT_ATTACH_OUT:
      return c.diag.AttachBytesOut;
    case KOV_STAT_BYTES_OUT:
      return SaturatingAdd(c.diag.TextBytesOut, c.diag.AttachBytesOut);
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
    case KOV_STAT_TLS:
      return c.link.HoldsSlot ? WexlTlsVersion(ChannelSlot(c)) : 0;
    default:
      return -1;
  }
}

int ChannelDebugText(const ChannelContext& c, int selector, char* buffer, int size) {
  switch (selector) {
    case KOV_DEBUG_DATE:
      DateHeaderNow(buffer, size);
      return 0;
    case KOV_DEBUG_LAST_REPLY:
      return LastReply(c, buffer, size);
    case KOV_DEBUG_REMOTE_ADDRESS: {
      int n = WexlRemoteAddress(ChannelSlot(c), buffer, size);
      return n < 0 ? 0 : n;
    }
    case KOV_DEBUG_LOCAL_ADDRESS:
      return LocalAddress(c, buffer, size);
    case KOV_DEBUG_SAVED_ATTACHMENTS:
      return Place(buffer, size, c.decoder.SavedAttachList);
    case KOV_DEBUG_LAST_RECIPIENT:
      return Place(buffer, size, c.smtp.LastRecipient);
    case KOV_DEBUG_MAIL_LINES:
      return MailLines(c, buffer, size);
    case KOV_DEBUG_TLS:
      return TlsText(c, buffer, size);
    default:
      Place(buffer, size, "?");
      return 0;
  }
}

// The boxes come after the walk: a box waits for a person, and the block
// table stays free for the other channels meanwhile.
void CheckMemory() {
  uint16_t damaged[kBlockCount];
  const int count = DamagedBlocks(damaged);
  char text[80];
  for (int n = 0; n < count; ++n) {
    snprintf(text, sizeof text, "Memory Corrupted (%s): ID=%d Err=%d", "kovDebug", damaged[n], kBlockGuardDamaged);
    platform::AlertBox(text, "Info");
  }
}
