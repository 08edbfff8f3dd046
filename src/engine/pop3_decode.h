// What a decoded download (KOV_DECODE_MODE other than 1) does with each line
// of the message, and how a download's files end.
#pragma once

#include "api/context.h"

// Takes one piece of a message line in decoded mode, after the response's
// status line was dropped and a stuffed dot removed (a long line comes in
// several pieces), and passes it through the MIME decoder, which writes the
// mail file and part files: 0, or -1 when a write failed.
int DecodeMessageLine(ChannelContext& c, const char* line, int length);

// Closes the files of a download at the end of its message: a part still
// open is completed, noted and listed, then the mail file is closed. 0, or
// -1 when what was still pending could not be written.
int FinishMessageFiles(ChannelContext& c);
