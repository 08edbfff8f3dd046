// Inside the decoder: the output helpers and the header readers that the line
// filter's modes share.
#pragma once

#include "codec/strings.h"
#include "engine/mime/filter.h"

// One call of the filter: its state, its settings and the actions it adds.
struct MimeRun {
  MimeFilter& f;
  const MimeSettings& s;
  MimeOutput& out;
};

// Passes `length` decoded bytes on to a part file, holding back a line end
// (CR LF, LF or CR) at their very end in `held` until more bytes show that it
// is not the last one: the line end before a boundary belongs to the
// boundary. Writes the bytes to pass into `out` (length + 2 bytes) and
// returns their number.
int HoldLineEnd(const char* data, int length, Carry& held, char* out);

void ResetOutput(MimeOutput& out);
// The new action, or null when the list is full.
MimeAction* Emit(MimeRun& r, MimeOp op, const char* data, int length);
// A log line, built only when a log is open; a line that does not fit is cut.
void Log(MimeRun& r, const char* text);
void Logf(MimeRun& r, const char* format, ...) KOV_PRINTF_CHECK(2, 3);
// `length` bytes of room in the output's data area.
char* Reserve(MimeRun& r, int length);

// Closes the open part: `saved` when it is complete. A line end held back
// from it is dropped, and so is an undecoded rest.
void ClosePart(MimeRun& r, bool saved);
// Writes the last bytes of a base64 part whose last group has no padding.
void FinishPartBytes(MimeRun& r);

// The header readers. Each takes a NUL-terminated line and tells whether it
// was the kind of line it reads (and, for the boundaries, usable).
bool FindBoundaryLine(MimeRun& r, const char* line, int length);
bool ReadTopBoundary(MimeRun& r, const char* line);
bool ReadNestedBoundary(MimeRun& r, const char* line);
bool ReadTransferEncoding(MimeRun& r, const char* line);
bool ReadDisposition(MimeRun& r, const char* line);
bool ExtractPartName(MimeRun& r, const char* line);
void CreatePartFile(MimeRun& r);
// A Content-Disposition or Content-Type line that names the part opens its
// file; the disposition's name wins.
void ReadPartName(MimeRun& r, const char* text);
void OpenUnnamedPart(MimeRun& r);

// A part's body begins: an unnamed base64 part is saved when the settings
// say so; in Unicode mode a text body in base64 or quoted-printable that no
// file takes is decoded into the mail file.
void StartBody(MimeRun& r);

// Unicode mode. A line of the message header (before the blank line that
// ends it, wherever the boundary stands): the header fields are read in any
// order, every other line reaches the mail file with its encoded words in
// UTF-8. The text is unfolded; `line` is the line as it came.
void UnicodeHeaderLine(MimeRun& r, const char* line, int length, const char* text);
// The charset and kind of a Content-Type line: false for another line.
bool ReadContentType(MimeRun& r, const char* text);
// Text of a text part on its way to the mail file, converted from its
// charset to UTF-8 in Unicode mode (else as it is).
void MailText(MimeRun& r, const char* text, int length);

// Unicode mode, uuencoded files. Whether a body line may belong to
// one: a line that would reach the mail file as it is, or any line of a
// part in x-uuencode or of a file begun.
bool UuApplies(const MimeFilter& f, const MimeSettings& s);
// What became of a body line offered to the uuencode reader.
enum class MimeUuTaken {
  kNo,     // not taken: it goes on as it would have
  kYes,    // taken: a "begin" line held, a data line decoded, the "end" line
  kAgain,  // its file is being opened: the same line is to come again
};
MimeUuTaken UuBodyLine(MimeRun& r, const char* line, int length, bool complete);
// A boundary or the end of the message ends a uuencoded file: a held
// "begin" line goes to the mail file; the file's part is closed by the caller.
void UuEnd(MimeRun& r);
