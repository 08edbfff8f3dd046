// Files a download writes: the mail file (MailFileHandle) and the file of the
// part being saved (FileHandle). Every write of message data goes through
// here, so that a failed or short write is always seen as a failure. Writes
// gather in the file's 64 KiB buffer and reach the file when it is full, on
// FlushOutFiles and on close (also through CloseChannelFiles).
#pragma once

#include "api/context.h"

enum class OutFile { kMail, kPart };

// Creates the file (an existing one is truncated) and holds it in the
// channel, closing one still held there first: true on success.
bool CreateOutFile(ChannelContext& c, OutFile which, const char* path);
// Writes `length` bytes to the file: `length`, or -1 when the file is not
// open, a write fails or it writes fewer bytes.
int WriteOutFile(ChannelContext& c, OutFile which, const char* data, int length);
// Closes the file if it is open, writing out anything still pending first:
// 0, or -1 when a write or the close failed.
int CloseOutFile(ChannelContext& c, OutFile which);
// Writes out what waits in the buffers of both files, which stay open: 0, or
// -1 when a write failed or was short.
int FlushOutFiles(ChannelContext& c);
