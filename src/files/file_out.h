// Files a download writes: the mail file (MailFileHandle) and the file of the
// part being saved (FileHandle). Every write of message data goes through
// here, so that a failed or short write is always seen as a failure. Writes
// gather in the file's 64 KiB buffer and reach the file when it is full, on
// FlushOutFiles and on close; CloseChannelFiles removes a part left unfinished.
#pragma once

#include "api/context.h"

enum class OutFile { kMail, kPart };

// Creates the file (an existing regular file is emptied; a link or any
// other kind of file is refused) and holds it in the channel, closing one
// still held there first: true on success. A part file's path is kept in
// AttachPath.
bool CreateOutFile(ChannelContext& c, OutFile which, const char* path);
// Writes `length` bytes to the file: `length`, or -1 when the file is not
// open, a write fails or it writes fewer bytes.
int WriteOutFile(ChannelContext& c, OutFile which, const char* data, int length);
// Closes the file if it is open, writing out anything still pending first:
// 0, or -1 when a write or the close failed. A part file whose last bytes
// cannot be written is removed: it is not complete.
int CloseOutFile(ChannelContext& c, OutFile which);
// Closes the part file being written without finishing it and removes it
// (its path is the channel's AttachPath): a part that did not complete
// leaves no file under its name. A file held in FileHandle for reading (a
// message text or attachment being sent) is only closed.
void DiscardPartFile(ChannelContext& c);
// Writes out what waits in the buffers of both files, which stay open: 0, or
// -1 when a write failed or was short.
int FlushOutFiles(ChannelContext& c);
