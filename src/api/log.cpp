#include "api/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "api/library.h"
#include "platform/platform.h"

namespace {

void Append(ChannelContext& c, const char* bytes, int length) {
  if (c.diag.LogHandle == 0 || length < 1) return;
  if (c.diag.LogHeld) {
    BufferedWrite(c.diag.LogBuffer, c.diag.LogHandle, bytes, length);
  } else {
    platform::FileWrite(c.diag.LogHandle, bytes, static_cast<uint32_t>(length));
  }
}

}  // namespace

void LogText(ChannelContext& c, const char* text) {
  if (c.diag.LogHandle == 0 || text == nullptr) return;
  Append(c, text, static_cast<int>(strlen(text)));
}

void LogFormat(ChannelContext& c, const char* format, ...) {
  if (c.diag.LogHandle == 0) return;
  // A local buffer: arguments often point into the record.
  char line[2048 + 2];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  Append(c, line, n < static_cast<int>(sizeof line) ? n : static_cast<int>(sizeof line) - 1);
}

void LogEntry(ChannelContext& c, const char* name) { LogFormat(c, "*** %s\r\n", name); }

void LogVersionLines(ChannelContext& c) {
  const char* format = "%s Win32 Version %d.%d.%d Build %d\r\n";
  LogFormat(c, format, " QW", kSocketLayerVersion >> 8 & 0xff, kSocketLayerVersion >> 4 & 0xf,
            kSocketLayerVersion & 0xf, kSocketLayerBuild);
  LogFormat(c, format, "KOV", kLibraryVersion >> 8 & 0xff, kLibraryVersion >> 4 & 0xf, kLibraryVersion & 0xf,
            kLibraryBuild);
}

void WriteLogRecord(void* channel, const char* prefix, int prefixLength, const char* data, int length) {
  ChannelContext& c = *static_cast<ChannelContext*>(channel);
  if (GatherRecord(c, prefix, prefixLength, data, length)) return;
  Append(c, prefix, prefixLength);
  Append(c, data, length);
}

void HoldLog(ChannelContext& c) { c.diag.LogHeld = 1; }

void FlushLog(ChannelContext& c) {
  c.diag.LogHeld = 0;
  if (c.diag.LogHandle != 0) FlushFileBuffer(c.diag.LogBuffer, c.diag.LogHandle);
}

void ReplaceLog(ChannelContext& c, int handle) {
  if (c.diag.LogHandle != 0) {
    FlushLog(c);
    platform::FileClose(c.diag.LogHandle);
  }
  DropFileBuffer(c.diag.LogBuffer);
  c.diag.LogHandle = handle > 0 ? handle : 0;
  if (c.diag.LogHandle != 0) HoldFileBuffer(c.diag.LogBuffer, true);
}
