// Sending buffers, texts and lines: every send goes into the slot's output
// buffer and is traced at once; the buffer reaches the system when it is
// full, before any read or wait on the slot, on WexlFlush and on close.
#include <cstring>

#include "net/internal.h"
#include "net/lineio.h"
#include "net/output.h"
#include "net/trace.h"

namespace {
// Lines shorter than this go out with their CR LF as one send.
constexpr size_t kOneSendLine = 126;

// Queues the whole buffer; the length or a code.
int Queue(SocketSlot& s, const char* buffer, int length) {
  if (buffer == nullptr || length < 1) return kWexlBadLength;
  return QueueOutput(s, buffer, length);
}

}  // namespace

int WexlSend(int slot, const char* buffer, int length) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  int rc = Queue(*s, buffer, length);
  if (rc > 0) TraceRecord(*s, "S: ", buffer, length);
  return rc;
}

int WexlSendMasked(int slot, const char* buffer, int length, int shown) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  int rc = Queue(*s, buffer, length);
  if (rc > 0) {
    TraceRecord(*s, "S: ", buffer, shown < 0 ? 0 : shown < length ? shown : length);
    TraceText(*s, "*****\r\n", 7);
  }
  return rc;
}

int WexlSendText(int slot, const char* text) {
  return WexlSend(slot, text, text == nullptr ? 0 : static_cast<int>(strlen(text)));
}

int WexlSendLine(int slot, const char* text) {
  if (text == nullptr) return WexlSend(slot, text, 0);
  size_t length = strnlen(text, kOneSendLine);
  if (length < kOneSendLine) {
    char line[kOneSendLine + 1];
    memcpy(line, text, length);
    line[length] = '\r';
    line[length + 1] = '\n';
    return WexlSend(slot, line, static_cast<int>(length) + 2);
  }
  int sent = WexlSendText(slot, text);
  if (sent < 0) return sent;
  // A line whose end could not be sent is not sent.
  int end = WexlSend(slot, "\r\n", 2);
  return end < 0 ? end : sent + 2;
}

int WexlFlush(int slot, int limitMs) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return FlushOutput(*s, limitMs > 0 ? static_cast<uint32_t>(limitMs) : 0);
}

int WexlCanSend(int slot) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (s->SendError != 0) return s->SendError;
  if (!HasSocket(*s)) return kWexlLost;
  if (kOutputSize - OutputCount(*s) >= kSendRoom) return 1;
  int rc = PushOutput(*s);
  if (rc < 0) return rc;
  return kOutputSize - OutputCount(*s) >= kSendRoom ? 1 : 0;
}
