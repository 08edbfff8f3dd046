// The state of the incoming-message decoder for one downloaded message: plain
// fixed fields, so that it lives inside the channel record. The decoder
// (engine/mime/) owns it; the record only holds it.
#pragma once

#include <cstdint>

#include "codec/strings.h"

// A header line with its folds joined may grow to this many characters: room
// for a name of 300 characters in the RFC 2231 form, 9 characters for each
// byte of its UTF-8, with the sections' own text.
constexpr int kMimeLineMax = 4096;
// A boundary is kept as "--" and at most 126 characters of it.
constexpr int kMimeBoundaryMax = 128;
constexpr int kMimeNameMax = 128;
constexpr int kMimePathMax = 128;
// Multipart levels inside the top-level one whose boundaries are followed;
// the parts of a deeper one stay in the body of the part that holds it.
constexpr int kMimeDepthMax = 8;
// Names of parts saved from one message that later parts are kept from
// overwriting (beyond this count a name may be taken twice).
constexpr int kMimeNamesKept = 64;

// What the decoder is reading (kept as an int32 in the record).
enum MimeMode : int32_t {
  kMimeOff = 0,          // a body that is not decoded: every line passes
  kMimeRaw = 1,          // a raw download: the decoder is not used
  kMimeTopHeaders = 2,   // the message header before "MIME-Version: 1.0"
  kMimeHeaders = 3,      // the message header after it
  kMimePreamble = 4,     // after the boundary was defined, up to the first boundary line
  kMimePartHeaders = 5,  // the header of a part
  kMimePartBody = 6,     // the body of a part or of a single-part message
};

// Transfer encodings of the current part.
enum MimeEncodingKind : int32_t {
  kEncodingNone = 0,
  kEncoding7Bit = 1,
  kEncodingBase64 = 2,
  kEncodingQuoted = 3,
  kEncodingUu = 4,  // x-uuencode (Unicode mode)
};

// A uuencoded file in a body (Unicode mode): none, its "begin" line held
// until a data line shows a file follows, or its data lines being decoded.
enum MimeUuState : uint8_t { kUuNone = 0, kUuBeginHeld = 1, kUuDecoding = 2 };
// The longest "begin" line that is read as one.
constexpr int kMimeUuBeginMax = 1024;

struct MimeFilter {
  int32_t mode;           // a MimeMode
  int32_t encoding;       // a MimeEncodingKind
  int32_t boundaryCount;  // boundary lines seen
  int32_t partHandle;     // handle of the open part file, as the log shows it
  uint8_t inlinePart;     // the part's body is decoded into the mail file
  uint8_t embedded;       // a message/rfc822 part: its blank line passes, headers go on
  uint8_t blankSeen;      // the blank line that ends the message header has passed
  uint8_t partOpen;       // a part file is open
  uint8_t midLine;        // the last piece did not end its line
  uint8_t pieceFate;      // what becomes of the rest of that line
  Carry carry;            // undecoded characters of the body so far
  Carry heldEnd;          // a line end held back from the part file
  // The body state the log showed last in this part ("[InlineFlag=...]"):
  // shown again only when it changes, not for every line.
  uint8_t bodyShown;  // 0: not shown since the part began
  uint8_t shownInline;
  int32_t shownEncoding;
  int32_t shownHandle;
  int32_t topLength;
  char top[kMimeBoundaryMax + 2];
  int32_t depth;      // nested levels whose boundaries are known
  int32_t partLevel;  // the level of the boundary that began the current part: 0 top
  int32_t nestedLength[kMimeDepthMax];
  char nested[kMimeDepthMax][kMimeBoundaryMax + 2];
  uint8_t dispositionNamed;  // the part's name came from Content-Disposition
  uint8_t textPart;          // Content-Type text/*: its body is text in `charset`
  char charset[40 + 2];      // the charset parameter of the part's Content-Type
  Carry textCarry;           // the start of a character a body piece cut
  char name[kMimeNameMax + 2];  // the part's name before the naming rules
  char path[kMimePathMax + 2];  // the open part file
  int32_t nameStart;            // where its file name begins in `path`
  uint32_t nameHash;            // of the open part's file name
  int32_t namesKept;
  uint32_t keptNames[kMimeNamesKept];  // hashes of the file names saved from the message
  int32_t heldLength;           // a header line waiting for its fold; 0: none
  char held[kMimeLineMax + 2];
  uint8_t uuState;              // a MimeUuState
  int32_t uuBeginLength;        // the held "begin" line, kept until its file ends
  char uuBegin[kMimeUuBeginMax + 2];
};
