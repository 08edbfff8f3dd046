// The main text part beyond its reader (compose.h): the label that names its
// type and encoding, and the line cutter for the alternative plain text.
#pragma once

#include <cstdint>

// The Content-Type line of the main text and whether a transfer-encoding
// line follows it; without one, the Content-Type line is followed by the
// empty line that ends the part's headers.
struct TextPartLabel {
  const char* contentType;
  bool encodingFollows;
};

// Plain text (0) and HTML (2) go out unencoded; every other body type is
// built quoted-printable, so it is labelled so. Body type 9 uses the
// caller's type, or plain text when none is set.
TextPartLabel MainTextLabel(uint32_t bodyType, const char* userType);

// Cuts the next line of `text` from `pos` into `line` (NUL-terminated, no
// line end) with the text-line cutter, as the HTML text is cut, and moves
// `pos` past it: lines end at LF, CR is dropped, a line that starts with '.'
// gets a second one in front, and a line that would pass 998 octets (or
// size - 2) ends after its last blank or tab before the limit, else at the
// limit. Other bytes are copied unchanged, whatever the 8-bit setting.
// Returns the length, or -1 when the text is used up (null text, size below
// 3).
int NextTextLine(const char* text, int32_t& pos, char* line, int size);
