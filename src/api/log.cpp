#include "api/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "api/library.h"
#include "platform/platform.h"

void LogText(const ChannelContext& c, const char* text) {
  if (c.diag.LogHandle == 0 || text == nullptr) return;
  platform::FileWrite(c.diag.LogHandle, text, static_cast<uint32_t>(strlen(text)));
}

void LogFormat(const ChannelContext& c, const char* format, ...) {
  if (c.diag.LogHandle == 0) return;
  // A local buffer: arguments often point into the record.
  char line[2048 + 2];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  uint32_t length = static_cast<uint32_t>(n) < sizeof line ? static_cast<uint32_t>(n) : sizeof line - 1;
  platform::FileWrite(c.diag.LogHandle, line, length);
}

void LogEntry(const ChannelContext& c, const char* name) { LogFormat(c, "*** %s\r\n", name); }

void LogVersionLines(const ChannelContext& c) {
  const char* format = "%s Win32 Version %d.%d.%d Build %d\r\n";
  LogFormat(c, format, " QW", kSocketLayerVersion >> 8 & 0xff, kSocketLayerVersion >> 4 & 0xf,
            kSocketLayerVersion & 0xf, kSocketLayerBuild);
  LogFormat(c, format, "KOV", kLibraryVersion >> 8 & 0xff, kLibraryVersion >> 4 & 0xf, kLibraryVersion & 0xf,
            kLibraryBuild);
}
