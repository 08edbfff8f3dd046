#include "net/trace.h"

#include <cstring>

#include "platform/platform.h"

namespace {
// Records up to this size go to the file in one write.
constexpr int kOneWriteRecord = 1024;
}  // namespace

void TraceText(const SocketSlot& s, const char* text, int length) {
  if (s.TraceHandle == 0 || length < 1) return;
  if (s.TraceTo != nullptr) {
    s.TraceTo(s.TraceOwner, text, length);
    return;
  }
  platform::FileWrite(s.TraceHandle, text, static_cast<uint32_t>(length));
}

void TraceRecord(const SocketSlot& s, const char* prefix, const void* data, int length) {
  if (s.TraceHandle == 0) return;
  const int prefixLength = static_cast<int>(strlen(prefix));
  if (length > 0 && prefixLength + length <= kOneWriteRecord) {
    char record[kOneWriteRecord];
    memcpy(record, prefix, static_cast<size_t>(prefixLength));
    memcpy(record + prefixLength, data, static_cast<size_t>(length));
    TraceText(s, record, prefixLength + length);
    return;
  }
  TraceText(s, prefix, prefixLength);
  TraceText(s, static_cast<const char*>(data), length);
}
