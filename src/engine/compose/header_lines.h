// Header lines of a composed message, built into a caller's buffer: pure
// functions, no I/O. A header never yields a physical line over 998 octets,
// and a CR or LF in a value can never start a header of its own.
#pragma once

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
// that follows some text on it; for an address list (`listSep` set) first
// after the last separator, where a blank is inserted unless one follows
// there. Without either the line is cut at the limit and continues after an
// inserted blank. A header that fits and holds no CR or LF comes out as
// prefix and value, byte for byte.
struct HeaderText {
  const char* prefix;  // written before the first line, e.g. "To: "; may be ""
  const char* text;    // the value or the block; null counts as empty
  char listSep;        // 0, or the separator of an address list
  bool lines;          // a block of header lines instead of one value
  int pos;             // the next byte of text to use (0 at the start)
  bool started;        // the first line has been built
};

inline HeaderText HeaderValue(const char* prefix, const char* value, char listSep = 0) {
  return HeaderText{prefix, value, listSep, false, 0, false};
}

inline HeaderText HeaderBlock(const char* lines) { return HeaderText{"", lines, 0, true, 0, false}; }

// Builds the next physical line into `out` (NUL-terminated, without its CR
// LF), at most 998 octets and at most size - 1: its length, or -1 when the
// header is complete. A value gives at least one line (the prefix alone for
// an empty value); an empty block gives none. A size below 3 gives -1.
int NextHeaderLine(HeaderText& header, char* out, int size);

// The Content-Type line of a multipart message with `boundary` in quotes:
// multipart/related for HTML text (with the folded type parameter when an
// alternative text goes along), multipart/mixed otherwise. Cut to size - 1
// characters; returns the length written.
int MessageContentType(bool html, bool alternative, const char* boundary, char* out, int size);
