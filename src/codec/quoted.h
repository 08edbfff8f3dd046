// Quoted-printable: the character rule, the one-line encoder and the line
// decoder.
#pragma once

// 1 for the bytes 0x20..0x7E, else 0.
int IsPrintable(char ch);

// 0..9 for '0'..'9', 10..15 for 'A'..'F', 0 for every other character.
int HexDigitValue(char ch);

// Encodes a NUL-terminated text as one line: printable characters other than
// '=' are copied, every other byte becomes '=' and two uppercase hexadecimal
// digits. Stops at the end of the text or once size - 3 or more characters are
// written, then writes a NUL. Returns the characters written, the NUL not
// counted; nothing is written for a size of 0 or less.
int QuoteBuffer(const char* text, char* out, int size);

// Decodes one received line (still ending in CR LF) into `out` of `size` bytes
// and NUL-terminates it:
// - '=' followed by two characters gives the byte of those hexadecimal digits;
// - '=' followed by a double quote or '?' is kept as it is;
// - '=' followed by CR, or with fewer than two characters after it, is a soft
//   line break: the output ends there;
// - a CR LF not preceded by '=' is kept.
// Output that does not fit is cut. Returns the bytes written, the NUL not
// counted; nothing is written for a size of 0 or less.
int DecodeQuotedLine(const char* line, char* out, int size);
