// Sending buffers, texts and lines.
#include <cstring>

#include "net/connections.h"
#include "net/internal.h"
#include "net/lineio.h"
#include "net/trace.h"

namespace {
// Lines shorter than this go out with their CR LF in a single send.
constexpr size_t kOneSendLine = 126;
}  // namespace

namespace {

// Sends the whole buffer once the socket is writable; the length or a code.
int SendAll(SocketSlot& s, int slot, const char* buffer, int length) {
  if (buffer == nullptr || length < 1) return kWexlBadLength;
  if (WexlWaitWritable(slot, s.SendWaitLimit) != 1) return kWexlLost;
  for (int sent = 0; sent < length;) {
    int n = platform::SocketSend(s.Socket, buffer + sent, length - sent);
    if (n < 1) {
      s.OpenFlag = 0;
      return NegatedLastError();
    }
    sent += n;
    if (sent < length) platform::SleepMs(0);  // let the receiver catch up before the rest
  }
  return length;
}

}  // namespace

int WexlSend(int slot, const char* buffer, int length) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  int rc = SendAll(*s, slot, buffer, length);
  if (rc > 0) TraceRecord(*s, "S: ", buffer, length);
  return rc;
}

int WexlSendMasked(int slot, const char* buffer, int length, int shown) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  int rc = SendAll(*s, slot, buffer, length);
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
