// Base64 with the standard alphabet and '=' padding: lines of 57 input bytes
// (76 characters) ended by CR LF when encoding, one stream of groups when
// decoding.
#pragma once

#include "codec/strings.h"

constexpr int kBase64LineBytes = 57;

// Encodes `count` bytes (1..57 for one line) as 4 characters per started group
// of 3, padded with '=', followed by CR LF. Returns the characters written
// without the CR LF; a count of 0 or less writes nothing and gives 0.
int EncodeLine(const char* source, char* out, int count);

// Encodes `length` bytes as lines of 57 bytes, each ended by CR LF (the last
// one too), without a NUL. `out` needs EncodedSize(length) bytes. Returns the
// characters written; 0 for a length of 0 or less, and for a length whose
// encoding would not fit in an int (then nothing is written).
int EncodeBuffer(const char* source, char* out, int length);

// 4 * ((length + 2) / 3) + 2 * ((length + 56) / 57), or -1 when that exceeds
// an int; 0 for a length of 0 or less.
int EncodedSize(int length);

// The characters the decoder passes over between and inside groups.
enum class Base64Skip {
  kLineEnds,           // CR and LF; blanks count as zero bits
  kLineEndsAndBlanks,  // CR, LF, blank and tab
};

// Decodes base64 text as one stream: the characters `skip` names are passed
// over, so a group of four may span lines and calls; 1 to 3 characters left
// over wait in `carry` for the next call (start with an empty one). Every
// other character outside the alphabet counts as zero bits; a group that ends
// in '=' gives 2 bytes, in "==" 1 byte. `out` needs 3 bytes for every group
// that `carry` and the text complete, and one more. Returns the bytes
// written.
int DecodeBase64(const char* text, int length, Carry& carry, Base64Skip skip, char* out);

// Ends a text that DecodeBase64 read: 2 or 3 characters left in `carry` (a
// last group without its '=' padding) give their 1 or 2 bytes, as if padded;
// `out` needs 3 bytes. Empties `carry`. Returns the bytes written.
int FinishBase64(Carry& carry, char* out);

// Decodes a whole text of `length` bytes with DecodeBase64 (line ends passed
// over, blanks zero bits); characters of an unfinished last group are
// ignored. The decoded bytes are followed by 4 zero bytes, so `out` needs
// 3 * (length / 4) + 4 bytes. Returns the bytes decoded; 0 for a length of 0
// or less.
int DecodeBuffer(const char* source, char* out, int length);

// Base64 of `length` bytes as one line ended by CR LF, however long: servers
// reject credentials split over several lines. The characters written
// (CR LF included), or 0 when `size` cannot hold them and a NUL.
int EncodeOneLine(const char* source, int length, char* out, int size);
