// The channel log: lines are written at once, unbuffered, and only while the
// channel has a log open (LogHandle not 0). A failed write is ignored.
#pragma once

#include "api/context.h"
#include "codec/printf_check.h"

void LogText(const ChannelContext& c, const char* text);

// Formats one line (the format carries its own CR LF) and writes it.
void LogFormat(const ChannelContext& c, const char* format, ...) KOV_PRINTF_CHECK(2, 3);

// "*** name" : the entry line of an exported function.
void LogEntry(const ChannelContext& c, const char* name);

// The socket layer's and the library's version lines.
void LogVersionLines(const ChannelContext& c);
