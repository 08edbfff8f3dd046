// Parameter values of MIME header lines (boundary=, name=, filename=): pure
// functions over one NUL-terminated header line.
#pragma once

// Where a value lies inside the line.
struct ParamValue {
  int start;   // index of its first character
  int length;  // its characters, quotes not counted; may be 0
};

// Searches `key` (such as "boundary=", matched without regard to case) in
// `line` from index `from` on and reads the value after it. The value is
// quoted only when a double quote directly follows the '=' (blanks between
// them are skipped): it then ends at the next double quote that a backslash
// does not escape (\" and \\ are quoted pairs, UnquoteValue reads them).
// Otherwise it ends
// at ';', a blank, a tab, a CR or an LF. Returns false when the key is missing,
// a quote is not closed or an unquoted value runs to the end of the text
// without one of its end characters (a line cut short).
bool FindParameter(const char* line, int from, const char* key, ParamValue& value);

// A value as it reads: \" and \\ become the character after the backslash;
// any other backslash stays, as in a Windows path. `out` needs `length`
// bytes (no NUL written). Returns the length written.
int UnquoteValue(const char* text, int length, char* out);

// A parameter in the form of RFC 2231: `key`* = charset'language'%XX-text,
// or split into sections `key`*0, `key`*1 ... (each with or without its own
// '*', in any order on the line). Returns false when the line holds none.
// Otherwise `out` (`size` bytes, NUL included) receives the bytes, %XX
// decoded where a section is marked with '*', cut to fit, and `charset`
// (`charsetSize` bytes) the character set named by the first section (empty
// when none is named). Sections after a missing one are left out.
bool FindExtendedParameter(const char* line, int from, const char* key, char* charset, int charsetSize, char* out,
                           int size, int& length);
