// The header lines of one attachment part, built as text without I/O: the
// name the part shows, its Content-Type (with a Content-ID for an inline
// image), its transfer encoding and its disposition.
#pragma once

#include <cstdint>

#include "engine/compose/compose.h"

// The name an attachment entry shows in the message: the base name of the
// entry (the part after its last directory break, '\\' or ':' and on POSIX
// also '/', found after the first character) and, when that holds `nameSep`
// (not NUL), the text after it. Never null: a null entry gives an empty text.
const char* ShownName(const char* entry, char nameSep);

// The Content-Type line of a name ending in .gif, .bmp, .tif or .jpg (any
// case, and longer than the extension alone), or null for any other name.
const char* ImageType(const char* name);

// The Content-Transfer-Encoding line of a part sent as text lines under
// `bodyType` (`asText`), or as base64.
const char* AttachEncodingLine(bool asText, uint32_t bodyType, bool unicode = false);

// How a part is typed when it is no image.
struct AttachmentLook {
  bool asText;           // sent as text lines: "text/plain"
  const char* userType;  // the caller's Content-Type line for other parts; null or empty: none
  bool unicode;          // Unicode mode: a name that is not ASCII as encoded words
};

// Builds the Content-Type header of a part into `out` (`size` bytes, NUL
// included). With `imageType` (from ImageType) the header names the part and
// adds the line "Content-ID: <message-root.N>" for `contentId`; otherwise it
// follows `look`, naming the part in the generic octet-stream type. Returns
// the length, or -1 when the header does not fit (nothing usable in `out`).
// The name is quoted with a backslash before each '"' and '\\' (in Unicode
// mode a name that is not ASCII is written as encoded words instead), and
// the header folded by FoldHeader: each run
// of CR and LF in the name (or in the caller's Content-Type line) becomes a
// fold, and every line is folded to at most 998 octets.
int BuildAttachTypeHeader(char* out, int size, const char* name, const char* imageType, int contentId,
                          const AttachmentLook& look);

// Builds the Content-Disposition header ("inline" or "attachment", with the
// quoted name, folded as above) followed by CR LF, so that sent as a line it
// also ends the part's headers; with `unicode`, a name that is not ASCII
// goes in the form filename*=UTF-8''... instead. Returns the length, or -1
// when it does not fit.
int BuildDispositionHeader(char* out, int size, const char* name, bool inlinePart, bool unicode);
