// Texts of any character set brought into the one the decoder writes:
// ISO-8859-1 bytes by default, UTF-8 in Unicode mode.
#pragma once

#include "codec/strings.h"

enum class TextCoding {
  kLatin1,  // single bytes: ISO-8859-1 as it comes, other sets converted, '?' for what has no byte
  kUtf8,
};

// Converts `length` bytes in `charset` (a MIME name; empty: US-ASCII) into
// `out` (`size` bytes, no NUL written). A set the system does not know is
// copied as it is. Returns the bytes written; what does not fit is cut.
int ConvertText(const char* charset, const char* in, int length, TextCoding to, char* out, int size);

// Like ConvertText for a text that arrives in pieces: an incomplete
// sequence at the end of a piece waits in `carry` for the next one (start
// with an empty one). `out` needs 3 * (length + 4) bytes.
int ConvertPiece(const char* charset, const char* in, int length, TextCoding to, Carry& carry, char* out);

// The character set named in a Content-Type line ("charset=", quoted or
// not), at most `size` - 1 characters, into `out`; empty when none.
void ReadCharset(const char* line, char* out, int size);
