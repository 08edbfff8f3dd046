// The actions of one filter call: added in order, their texts kept in the
// output record.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/mime/steps.h"

void ResetOutput(MimeOutput& out) {
  out.count = 0;
  out.textBytesIn = 0;
  out.attachBytesIn = 0;
  out.dataUsed = 0;
  out.logUsed = 0;
}

MimeAction* Emit(MimeRun& r, MimeOp op, const char* data, int length) {
  // A call adds a dozen actions at most; the limit only guards the array.
  if (r.out.count >= kMimeMaxActions) return nullptr;
  MimeAction& a = r.out.actions[r.out.count++];
  a.op = op;
  a.saved = false;
  a.nameStart = 0;
  a.data = data;
  a.length = length;
  return &a;
}

char* Reserve(MimeRun& r, int length) {
  if (length < 0 || length > static_cast<int>(sizeof r.out.data) - r.out.dataUsed) return nullptr;
  char* at = r.out.data + r.out.dataUsed;
  r.out.dataUsed += length;
  return at;
}

void Log(MimeRun& r, const char* text) {
  if (!r.s.log) return;
  const int room = static_cast<int>(sizeof r.out.log) - r.out.logUsed;
  if (room < 2) return;
  char* at = r.out.log + r.out.logUsed;
  const int n = BoundedCopy(at, text, room - 1);
  r.out.logUsed += n + 1;
  Emit(r, MimeOp::kLog, at, n);
}

void Logf(MimeRun& r, const char* format, ...) {
  if (!r.s.log) return;
  const int room = static_cast<int>(sizeof r.out.log) - r.out.logUsed;
  if (room < 2) return;
  char* at = r.out.log + r.out.logUsed;
  va_list args;
  va_start(args, format);
  int n = vsnprintf(at, static_cast<size_t>(room), format, args);
  va_end(args);
  if (n < 0) return;
  if (n >= room) n = room - 1;
  r.out.logUsed += n + 1;
  Emit(r, MimeOp::kLog, at, n);
}

int FormatSaveNote(char* out, int size, const char* path) {
  if (out == nullptr || size <= 0) return 0;
  int n = snprintf(out, static_cast<size_t>(size), "[Attachment saved to %c%s%c]\r\n", '"', path, '"');
  if (n < 0) n = 0;
  return n < size ? n : size - 1;
}

int HoldLineEnd(const char* data, int length, Carry& held, char* out) {
  memcpy(out, held.bytes, held.length);
  memcpy(out + held.length, data, static_cast<size_t>(length));
  const int total = held.length + length;
  const int end = LineEndLength(out, total);
  memcpy(held.bytes, out + total - end, static_cast<size_t>(end));
  held.length = static_cast<uint8_t>(end);
  return total - end;
}
