// The channel log: lines are written only while the channel has a log open
// (LogHandle not 0), at once, or gathered in the log's buffer while driving
// holds it (HoldLog) and written out in large pieces (FlushLog). A failed
// write is ignored.
#pragma once

#include <cstring>

#include "api/context.h"
#include "codec/strings.h"

void LogText(ChannelContext& c, const char* text);

// Formats one line (the format carries its own CR LF) and writes it.
void LogFormat(ChannelContext& c, const char* format, ...) KOV_PRINTF_CHECK(2, 3);

// "*** name" : the entry line of an exported function.
void LogEntry(ChannelContext& c, const char* name);

// The socket layer's and the library's version lines.
void LogVersionLines(ChannelContext& c);

// Appends one record, `prefix` and then `data`, to the log as LogText does;
// the socket trace writes through this, with the channel's record as
// `channel`.
void WriteLogRecord(void* channel, const char* prefix, int prefixLength, const char* data, int length);
// Copies a record into the log's gathering buffer when the log is held and
// the record fits there: false when it must take the general way.
inline bool GatherRecord(ChannelContext& c, const char* prefix, int prefixLength, const char* data, int length) {
  FileBuffer& b = c.diag.LogBuffer;
  if (!c.diag.LogHeld || b.Data == nullptr || c.diag.LogHandle == 0 || prefixLength < 0 || length < 0 ||
      prefixLength + length > kFileBufferSize - b.End) {
    return false;
  }
  memcpy(b.Data + b.End, prefix, static_cast<size_t>(prefixLength));
  memcpy(b.Data + b.End + prefixLength, data, static_cast<size_t>(length));
  b.End += prefixLength + length;
  return true;
}
// WriteLogRecord for a channel, its common case inline.
inline void LogRecord(ChannelContext& c, const char* prefix, int prefixLength, const char* data, int length) {
  if (!GatherRecord(c, prefix, prefixLength, data, length)) WriteLogRecord(&c, prefix, prefixLength, data, length);
}

// Records gather in the log's buffer from here on; FlushLog writes them out
// and ends the gathering (also when it fills, records go out in one write).
// Around driving, so that the file holds every record once a call returns.
void HoldLog(ChannelContext& c);
void FlushLog(ChannelContext& c);

// The log file `handle` (a new one, or 0 for none) replaces the channel's
// log, whose waiting records are written out before it is closed; a new
// log gets its buffer.
void ReplaceLog(ChannelContext& c, int handle);
