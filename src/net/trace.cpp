#include "net/trace.h"

#include <cstring>

#include "platform/platform.h"

void TraceText(const SocketSlot& s, const char* text, int length) {
  if (s.TraceHandle == 0 || length < 1) return;
  platform::FileWrite(s.TraceHandle, text, static_cast<uint32_t>(length));
}

void TraceRecord(const SocketSlot& s, const char* prefix, const void* data, int length) {
  if (s.TraceHandle == 0) return;
  platform::FileWrite(s.TraceHandle, prefix, static_cast<uint32_t>(strlen(prefix)));
  TraceText(s, static_cast<const char*>(data), length);
}
