// Base64 with the standard alphabet and '=' padding, in lines of 57 input
// bytes (76 characters) ended by CR LF.
#pragma once

constexpr int kBase64LineBytes = 57;

// Encodes `count` bytes (1..57 for one line) as 4 characters per started group
// of 3, padded with '=', followed by CR LF. Returns the characters written
// without the CR LF; a count of 0 or less writes nothing and gives 0.
int EncodeLine(const char* source, char* out, int count);

// Decodes the 4-character groups of one line of `count` characters. The first
// 3 * (count / 4) + 4 bytes of `out` are cleared first, so the bytes are
// followed by zeros. Characters outside the alphabet, '=' included, count as
// zero bits; 1 to 3 characters after the last group are ignored. Returns
// 3 per group less one for each '=' ending the last group; fewer than 3
// characters write nothing and give 0.
int DecodeLine(const char* source, char* out, int count);

// Encodes `length` bytes as lines of 57 bytes, each ended by CR LF (the last
// one too), without a NUL. `out` needs EncodedSize(length) bytes. Returns the
// characters written; 0 for a length of 0 or less, and for a length whose
// encoding would not fit in an int (then nothing is written).
int EncodeBuffer(const char* source, char* out, int length);

// 4 * ((length + 2) / 3) + 2 * ((length + 56) / 57), or -1 when that exceeds
// an int; 0 for a length of 0 or less.
int EncodedSize(int length);

// Decodes text of `length` bytes chunk by chunk: a chunk ends before the first
// CR (the search for it stops at a NUL byte, and then the chunk is the whole
// rest) and the CR and LF bytes after it are skipped. Each chunk is decoded
// with DecodeLine right after the bytes decoded so far; `out` needs
// 3 * (m / 4) + 4 bytes from there for a chunk of m characters, which
// 3 * (length / 4) + 4 bytes always cover. Returns the bytes decoded; 0 for a
// length of 0 or less.
int DecodeBuffer(const char* source, char* out, int length);
