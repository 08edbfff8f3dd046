// The socket trace: records appended to the slot's TraceHandle (the channel's
// log file) while it is not 0. Records carry no separator of their own.
#pragma once

#include "net/slots.h"

// Writes a prefix ("S: ", "R: ", "r: ") followed by the data.
void TraceRecord(const SocketSlot& s, const char* prefix, const void* data, int length);
// Writes a ready-made text.
void TraceText(const SocketSlot& s, const char* text, int length);
