// Quoted-printable: the character rule, the encoder (one character, or a text
// as one line) and the decoder of texts read in pieces.
#pragma once

#include "codec/strings.h"

// 1 for the bytes 0x20..0x7E, else 0.
constexpr int IsPrintable(char ch) {
  const unsigned char u = static_cast<unsigned char>(ch);
  return u >= 0x20 && u <= 0x7E ? 1 : 0;
}

// 0..9 for '0'..'9', 10..15 for 'A'..'F' and 'a'..'f', 0 for every other
// character.
int HexDigitValue(char ch);

// Writes one character as it goes into quoted-printable text: a printable
// character other than '=' as it is, every other byte as '=' and two
// uppercase hexadecimal digits. `out` needs 3 bytes. Returns 1 or 3.
int QuoteChar(char ch, char* out);

// The longest quoted-printable line, soft break included.
constexpr int kQuotedLineMax = 76;

// QuoteChar for a character of a text line: with `lineEnds` (it is the last
// character before the line's end) a blank is escaped too ("=20"), so that
// it cannot be taken for padding and dropped. Returns 1 or 3.
int QuoteTextChar(char ch, bool lineEnds, char* out);

// Encodes the bytes of `text` one after another as QuoteChar does while
// each fits within `room` characters, and stops before the first that does
// not (or after `length`). `out` needs room + 3 bytes. `taken` gets the bytes
// encoded; returns the characters written.
int QuoteSpan(const char* text, int length, char* out, int room, int& taken);

// Encodes a NUL-terminated text as one line with QuoteChar. Stops at the end
// of the text or once size - 3 or more characters are written, then writes a
// NUL. Returns the characters written, the NUL not counted; nothing is
// written for a size of 0 or less.
int QuoteBuffer(const char* text, char* out, int size);

// Decodes quoted-printable text that may come in pieces:
// - '=' and two hexadecimal digits (either case) give a byte;
// - '=' followed by a double quote or '?' is kept as it is;
// - with `lineEnd` the text ends a line: its line end (CR LF, LF or CR) is
//   kept, unless a soft break comes first: '=' before a CR, or with fewer than
//   two characters after it, ends the output there and drops the line end;
// - without `lineEnd` the line goes on in the next piece: a trailing '=' or
//   '=' and one character waits in `carry` (start with an empty one).
// `out` needs length + 2 bytes. Returns the bytes written.
int DecodeQuoted(const char* text, int length, bool lineEnd, Carry& carry, char* out);
