// engine/compose/: the outgoing message: headers, text body, alternative text and
// attachments, built line by line by pure builders and sent by the send states.
//
// What the composition phases share: the message's shape, the text reader
// and line builder, the input file, and sending one message line.
#pragma once

#include <cstdint>

#include "api/context.h"
#include "codec/lines.h"
#include "engine/frame/settings.h"

// A message is multipart when it has attachments or a body type other than
// plain text.
inline bool IsMultipart(const ChannelContext& c) { return c.smtp.AttachList != nullptr || c.smtp.BodyType != 0; }

// Whether the line builder encodes text lines quoted-printable under a body
// type: every type except plain (0) and HTML (2), and in Unicode mode every
// type. Labels follow the same rule.
inline bool TextLinesQuotedPrintable(uint32_t bodyType, bool unicode) { return unicode || (bodyType != 0 && bodyType != 2); }

// The next byte of the message text (memory or file) as 1..255, 0 at its end.
// With `reset` the read-ahead buffer is emptied and 0 returned. A read error
// of the file gives kCannotOpenFile (negative).
int GetMsgChar(ChannelContext& c, bool reset);
// Builds the next line of the text source into `line` (NUL-terminated, no
// line end): its length, -1 at the end of the source, or a negative code
// below -1 for a read error (-35).
int BuildTextLine(ChannelContext& c, char* line, int size);

// Builds the next line of a finished message (KOV_RAW_MESSAGE) into `line`
// as it is: CRs dropped, ended by LF or the end of the text, a leading '.'
// doubled. Its length, -1 at the end of the source, the read error (-35), or
// -109 for a line over 998 octets. `size` must hold 998 octets, the doubled
// dot and a NUL.
int BuildRawLine(ChannelContext& c, char* line, int size);

// Opens a file for reading into FileHandle (closing one still held), with the
// log lines of the open: the handle (2 or more) or a negative value.
int OpenInputFile(ChannelContext& c, const char* path);
// Closes FileHandle if it is open, with its log line.
void CloseFileHandle(ChannelContext& c);
// Reads up to `count` bytes of FileHandle as one read of the file would,
// through its 64 KiB buffer: the bytes read (fewer only at the file's end),
// 0 at the end, -1 for a read error.
int ReadInputFile(ChannelContext& c, char* out, int count);

// The Date header line of the present moment, from the platform's local
// clock and time zone: written without CR LF into out, cut to size - 1 characters.
void DateHeaderNow(char* out, int size);

// Sends one message line (the text and CR LF); the next line may follow after
// LineWait and must be sent within SendWait. A failed send fails the step (-52).
int SendMessageLine(ChannelContext& c, uint32_t now, const char* line);
