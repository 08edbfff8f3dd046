// Mail lines within the line limit: header values folded into physical lines
// (a CR or LF in a value can never start a header of its own), and message
// text cut into lines a character at a time. Pure functions, no I/O.
#pragma once

#include "codec/quoted.h"

// The longest line a message may carry, without its CR LF.
constexpr int kMaxLineOctets = 998;

// One header ("Subject: " and its value) or a block of complete header lines,
// handed out as physical lines by NextHeaderLine.
//
// A value: each run of CR and LF in it becomes a fold, so the text after it
// continues the same header on a line that starts with a blank (the value's
// own blank when it has one there, so an already folded value stays as it
// is). Text that would give a line of blanks alone (a run at the very end,
// blanks before a run) is dropped.
//
// A block (`lines` set): each run of CR and LF ends a line, so empty lines
// vanish; a line that starts with '.' gets a second one in front, because in
// the DATA stream a lone "." would end the message. Lines of blanks alone
// vanish too.
//
// A physical line that would pass 998 octets is folded before the last blank
// that follows some text of the value on it; for an address list (`listSep`
// set) first after the last separator, where a blank is inserted unless one
// follows there. Without either the line is cut at the limit and continues
// after an inserted blank. A header that fits and holds no CR or LF comes out
// as prefix and value, byte for byte.
struct HeaderText {
  const char* prefix;    // written before the first line, e.g. "To: "; may be ""
  const char* value[3];  // the value or the block: these texts one after the other; null counts as empty
  char listSep;          // 0, or the separator of an address list
  bool lines;            // a block of header lines instead of one value
  int pos;               // the next byte of the value to use (0 at the start)
  bool started;          // the first line has been built
  int length[3];         // the lengths of the value's texts, taken then
};

inline HeaderText HeaderValue(const char* prefix, const char* value, char listSep = 0) {
  return HeaderText{prefix, {value, nullptr, nullptr}, listSep, false, 0, false, {0, 0, 0}};
}

inline HeaderText HeaderBlock(const char* lines) {
  return HeaderText{"", {lines, nullptr, nullptr}, 0, true, 0, false, {0, 0, 0}};
}

// A value made of fixed text around a text from outside, such as a header
// with a quoted parameter: `lead`, `text` and `tail` one after the other,
// without a prefix, so that a blank of the fixed text can be a fold point.
inline HeaderText HeaderParts(const char* lead, const char* text, const char* tail) {
  return HeaderText{"", {lead, text, tail}, 0, false, 0, false, {0, 0, 0}};
}

// Builds the next physical line into `out` (NUL-terminated, without its CR
// LF), at most 998 octets and at most size - 1: its length, or -1 when the
// header is complete. A value gives at least one line (the prefix alone for
// an empty value); an empty block gives none. A size below 3 gives -1.
int NextHeaderLine(HeaderText& header, char* out, int size);

// Builds every physical line of a header into `out` (`size` bytes, NUL
// included), joined by CR LF, without one after the last. Returns the
// length, or -1 when the lines do not fit (then `out` holds nothing usable).
int FoldHeader(HeaderText header, char* out, int size);

// The character `ch` (1..255) becomes in a text line: itself when `keep8Bit`
// is set or it is printable (0x20..0x7E), else '~'.
constexpr char TextChar(int ch, bool keep8Bit) {
  return keep8Bit || IsPrintable(static_cast<char>(ch)) ? static_cast<char>(ch) : '~';
}

// One text line being cut to the line limit, fed a character at a time by a
// caller that reads the text and handles its line ends.
struct TextLineCut {
  char* line;     // the characters so far, not terminated
  int cap;        // octets the line may take, a '.' added by dot-stuffing included
  bool keep8Bit;  // see TextChar
  int count;      // characters in the line
  int blankEnd;   // the line's length up to its last blank or tab; 0: none
};

enum class CutStep {
  kAdded,       // the character is on the line
  kAddedBlank,  // so it is, and it is a blank or tab: the line may be cut back to here
  kFull,        // the line has no room for it: nothing was added
};

// Adds the character `ch` (1..255, no line end) as TextChar makes it. On
// kFull the caller ends the line: cut back to `blankEnd`, so that the text
// after that blank begins the next line, or, without one, here, so that `ch`
// begins it.
CutStep AddToLine(TextLineCut& cut, int ch);

// Ends a line of `count` characters: one that begins with '.' gets a second
// one in front (dot-stuffing; `line` needs count + 2 bytes), then a NUL.
// Returns the length.
int FinishTextLine(char* line, int count);
