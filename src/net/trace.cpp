#include "net/trace.h"

#include "platform/platform.h"

void TraceParts(const SocketSlot& s, const char* prefix, int prefixLength, const char* data, int length) {
  if (s.TraceHandle == 0) return;
  if (s.TraceTo != nullptr) {
    s.TraceTo(s.TraceOwner, prefix, prefixLength, data, length);
    return;
  }
  if (prefixLength > 0) platform::FileWrite(s.TraceHandle, prefix, static_cast<uint32_t>(prefixLength));
  if (length > 0) platform::FileWrite(s.TraceHandle, data, static_cast<uint32_t>(length));
}
