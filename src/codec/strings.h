// codec/: pure functions with no state and no I/O, one of each: base64, quoted-
// printable, encoded words and parameters, MD5/HMAC, date header, address checks,
// header folding and text lines, bounded string routines.
//
// Bounded copying, searching and case-insensitive comparison of NUL-terminated
// single-byte texts, lines pulled out of text buffers, line ends; paths (base
// names, joining); saturating counters; the printf-format check. Every
// routine accepts null pointers and sizes of zero or less and then does
// nothing (copies, appends) or finds nothing (searches).
#pragma once

#include <cstdint>

// A few bytes of a text kept from one call for the next: the unfinished
// group or escape of a decoder that reads a text in pieces, or a held line end.
struct Carry {
  char bytes[4];
  uint8_t length;
};

// Copies source up to its NUL but at most `max` characters, and always writes a
// NUL after them: `out` needs max + 1 bytes. Returns the characters copied.
int BoundedCopy(char* out, const char* source, int max);

// Copies exactly `count` bytes, NULs included, then writes a NUL: `out` needs
// count + 1 bytes and `source` must hold count bytes. Returns the position of
// that NUL (count, or 0 when nothing was copied).
int CopyCount(char* out, const char* source, int count);

// Appends at most `max` characters of source to the text in `out` and ends the
// result with a NUL: `out` needs room for them after its current text.
void BoundedAppend(char* out, const char* source, int max);

// Characters before the NUL; 0 for a null text.
int StringLength(const char* text);

// First occurrence of ch, or null; searching for '\0' finds the end of the text.
const char* FindChar(const char* text, char ch);

// Index of the first ch among the first `limit` bytes, the search ending at a
// NUL byte; -1 when not found.
int FindCharN(const char* text, char ch, int limit);

// First occurrence of ch before the first `separator` character, or null.
const char* FindBeforeSeparator(const char* text, char ch, char separator);

// 1 when the first `count` characters of a and b are equal with a-z folded to
// A-Z (or both texts end together before that), else 0. A count of 0 or less,
// or a null text, gives 0.
int CompareNoCase(const char* a, const char* b, int count);

// First position where `sought` occurs in text, a-z folded to A-Z, or null. An
// empty sought text is found at the start. Time linear in both lengths, no
// allocation.
const char* FindNoCase(const char* text, const char* sought);

// Copies one line while fewer than size - 1 characters have been copied:
// - an LF is copied and followed by a NUL; the result counts the LF;
// - a NUL ends the copy; the result is the number of characters before it;
// - a line that does not fit gives 0, and `out` holds its first size - 1
//   characters and a NUL.
// A size of 1 or less gives 0 and writes nothing.
int CopyLine(const char* source, char* out, int size);

// Finds `sought` in buffer (a-z folded to A-Z) and copies the line from there,
// the sought text included, with CopyLine. Returns CopyLine's result, or 0
// when a pointer is null or the text is not found.
int ExtractText(const char* buffer, const char* sought, char* out, int size);

// Copies line `number` (the first is 1; 1 or less gives the first) with
// CopyLine. Returns CopyLine's result, or 0 when a pointer is null or the
// buffer has fewer lines.
int ExtractLine(const char* buffer, int number, char* out, int size);

// Length of the line end (CR LF, LF or CR) that closes the first `length`
// bytes of `text`; 0 when they do not end in one.
int LineEndLength(const char* text, int length);

// Statistic counters: byte and event counts that stop at the largest int32
// value instead of wrapping round to negative numbers on a huge transfer.


// a + b, held within the int32 range.
inline int32_t SaturatingAdd(int32_t a, int32_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  if (sum > INT32_MAX) return INT32_MAX;
  return sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

// Splitting and joining file paths, the same rules on every system: '/', '\\'
// and ':' all end the directory part of a path, so that a name taken from a
// message or an argument keeps no folder whichever system reads it.

// Whether a character ends the directory part of a path.
bool IsPathBreak(char ch);

// Where the base name of the first `length` characters of `path` starts:
// after the last path break; a break in the first position stays part of
// the name unless `leadingBreakCounts`. 0 for a null path.
int BaseNameStart(const char* path, int length, bool leadingBreakCounts = false);

// Joins the directory, `separator` unless the directory is empty or already
// ends with it (an empty directory is the current one: the path is the name
// alone), and the file name, into `out` (capacity bytes, NUL included). Only
// a path that fits whole is written: its length, else -1 and an empty text,
// so that two names cut to the same text can never name one file.
int JoinPath(const char* dir, const char* name, char separator, char* out, int capacity);

// The compiler's check of a printf-style format against its arguments. The
// library formats with GNU's conversions everywhere: MinGW's GCC must be told
// so (its own printf knows fewer); clang, and GCC elsewhere, call them printf.

#if defined(__MINGW32__) && !defined(__clang__)
#define KOV_PRINTF_CHECK(formatArg, firstArg) __attribute__((format(gnu_printf, formatArg, firstArg)))
#else
#define KOV_PRINTF_CHECK(formatArg, firstArg) __attribute__((format(printf, formatArg, firstArg)))
#endif
