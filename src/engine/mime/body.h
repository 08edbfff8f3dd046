// Decoding of part bodies as their lines arrive, in pieces when a line is
// longer than one read: pure functions that keep what a piece leaves undone in
// a small carry for the next one.
#pragma once

#include "codec/carry.h"

// Decodes base64 text as one stream: blanks, tabs, CR and LF are skipped, so a
// group of four characters may span pieces and lines, and 1 to 3 characters
// left over wait in `carry`. Other characters outside the alphabet count as
// zero bits; '=' at the end of a group marks padding. `out` needs
// 3 * ((length + 3) / 4) bytes. Returns the bytes written.
int DecodeBase64Stream(const char* text, int length, Carry& carry, char* out);

// Decodes a piece of a quoted-printable line: "=" and two hexadecimal digits
// give a byte, "=" before a double quote or '?' stays, "=" before the line end
// (or with less than two characters after it at the line end) is a soft break
// that drops the line end. When `lineEnd` is not set (the line goes on in the
// next piece) a trailing "=" or "=" and one character wait in `carry`. `out` needs length + 2 bytes. Returns the
// bytes written.
int DecodeQuotedPiece(const char* text, int length, bool lineEnd, Carry& carry, char* out);

// Passes `length` decoded bytes on to a part file, holding back a line end
// (CR LF, LF or CR) at their very end in `held` until more bytes show that it
// is not the last one: the line end before a boundary belongs to the
// boundary. Writes the bytes to pass into `out` (length + 2 bytes) and
// returns their number.
int HoldLineEnd(const char* data, int length, Carry& held, char* out);
