// The socket trace: records appended to the slot's TraceHandle (the channel's
// log file) while it is not 0. Records carry no separator of their own.
#pragma once

#include <cstring>

#include "net/slots.h"

// Writes a record: the prefix (may be empty) followed by the data.
void TraceParts(const SocketSlot& s, const char* prefix, int prefixLength, const char* data, int length);

// Writes a prefix ("S: ", "R: ", "r: ") followed by the data.
inline void TraceRecord(const SocketSlot& s, const char* prefix, const void* data, int length) {
  if (s.TraceHandle != 0) TraceParts(s, prefix, static_cast<int>(strlen(prefix)), static_cast<const char*>(data), length);
}
// Writes a ready-made text.
inline void TraceText(const SocketSlot& s, const char* text, int length) {
  if (s.TraceHandle != 0) TraceParts(s, "", 0, text, length);
}
