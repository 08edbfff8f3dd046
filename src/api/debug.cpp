// kovDebug: texts held by a channel, and the memory check of channel -2.
#include <cstdio>
#include <cstring>

#include "api/blocks.h"
#include "api/channels.h"
#include "api/errors.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/frame/step_io.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

// Shows a box for every block whose guard bytes were overwritten.
void CheckMemory() {
  char text[80];
  for (int id = 0; id < kBlockCount; ++id) {
    if (IsAllocated(static_cast<uint16_t>(id)) != 1) continue;
    int rc = CheckBlock(static_cast<uint16_t>(id));
    if (rc != kBlockGuardDamaged) continue;
    snprintf(text, sizeof text, "Memory Corrupted (%s): ID=%d Err=%d", "kovDebug", id, rc);
    platform::AlertBox(text, "Info");
  }
}

// Copies a text into the caller's buffer of `size` bytes; characters placed.
int Place(char* buffer, int size, const char* text) { return BoundedCopy(buffer, text, size - 1); }

int LastReply(const ChannelContext& c, char* buffer, int size) {
  int n = BoundedCopy(buffer, c.LastReplyLine, size - 1 < 128 ? size - 1 : 128);
  if (n >= 2 && buffer[n - 2] == '\r' && buffer[n - 1] == '\n') return n - 2;
  return n;
}

int LocalAddress(const ChannelContext& c, char* buffer, int size) {
  if (!c.HoldsSlot || WexlIsOpen(static_cast<int>(c.SlotNumber)) != 1) return 0;
  int n = WexlLocalAddress(static_cast<int>(c.SlotNumber), buffer, size);
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

}  // namespace

extern "C" KOV_API int KOV_CALL kovDebug(int channel, int selector, char* buffer, int size) {
  if (channel == KOV_DEBUG_CHECK_MEMORY) {
    CheckMemory();
    return 0;
  }
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = '\0';
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
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
      return Place(buffer, size, c.SavedAttachList);
    case KOV_DEBUG_LAST_RECIPIENT:
      return Place(buffer, size, c.LastRecipient);
    case KOV_DEBUG_MAIL_LINES:
      return MailLines(c, buffer, size);
    default:
      Place(buffer, size, "?");
      return 0;
  }
}
