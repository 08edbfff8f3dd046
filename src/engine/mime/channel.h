// engine/mime/: the incoming-message decoder: a pure line filter (headers,
// parameters, encoded words, bodies, names) and the glue that feeds it a download.
//
// The decoder on a channel: runs the line filter over the lines of a
// download and carries out what it asks for, with the channel's mail file,
// part file, log, saved-name list and counters.
#pragma once

#include "api/context.h"

// Starts the decoding of a download: nothing carries over from the message
// before (the filter's state, the saved names and count); a part file left
// open by a failed download is removed without a note.
void StartMessageDecoding(ChannelContext& c);

// Decodes the next message line (dot-unstuffed; the status line is not one of
// them): 0, or -1 when a write to the mail file or a part file failed, which
// fails the download (and the failure path removes an unfinished part).
int FilterMessageLine(ChannelContext& c, const char* line, int length);

// A download that breaks off: the header line the decoder held back for a
// fold is handled alone, so that the mail file keeps every line that came.
void FinishHeldHeader(ChannelContext& c);

// Ends the decoding. `complete` (the message ended): a held header line is
// finished and an open part is completed, closed, noted in the mail file and
// the log, listed and counted; 0, or -1 when a write failed (the part is then
// removed). Not complete (the download failed): an open part is removed
// without a note, not listed and not counted; 0.
int CloseAttachment(ChannelContext& c, bool complete);
