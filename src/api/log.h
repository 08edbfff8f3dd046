// The channel log: lines are written only while the channel has a log open
// (LogHandle not 0), at once, or gathered in the log's buffer while driving
// holds it (HoldLog) and written out in large pieces (FlushLog). A failed
// write is ignored.
#pragma once

#include "api/context.h"
#include "codec/strings.h"

void LogText(ChannelContext& c, const char* text);

// Formats one line (the format carries its own CR LF) and writes it.
void LogFormat(ChannelContext& c, const char* format, ...) KOV_PRINTF_CHECK(2, 3);

// "*** name" : the entry line of an exported function.
void LogEntry(ChannelContext& c, const char* name);

// The socket layer's and the library's version lines.
void LogVersionLines(ChannelContext& c);

// Appends bytes to the log as LogText does; the socket trace writes through
// this, with the channel's record as `channel`.
void WriteLog(void* channel, const char* bytes, int length);

// Records gather in the log's buffer from here on; FlushLog writes them out
// and ends the gathering (also when it fills, records go out in one write).
// Around driving, so that the file holds every record once a call returns.
void HoldLog(ChannelContext& c);
void FlushLog(ChannelContext& c);

// The log file `handle` (a new one, or 0 for none) replaces the channel's
// log, whose waiting records are written out before it is closed; a new
// log gets its buffer.
void ReplaceLog(ChannelContext& c, int handle);
