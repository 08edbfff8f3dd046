// The line end held back before a boundary. Part bodies are decoded by the
// streaming decoders of codec/base64 and codec/quoted.
#include "engine/mime/body.h"

#include <cstring>

int HoldLineEnd(const char* data, int length, Carry& held, char* out) {
  memcpy(out, held.bytes, held.length);
  memcpy(out + held.length, data, static_cast<size_t>(length));
  const int total = held.length + length;
  const int end = LineEndLength(out, total);
  memcpy(held.bytes, out + total - end, static_cast<size_t>(end));
  held.length = static_cast<uint8_t>(end);
  return total - end;
}
