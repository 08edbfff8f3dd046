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
// them are skipped): it then ends at the next double quote. Otherwise it ends
// at ';', a blank, a tab, a CR or an LF. Returns false when the key is missing,
// a quote is not closed or an unquoted value runs to the end of the text
// without one of its end characters (a line cut short).
bool FindParameter(const char* line, int from, const char* key, ParamValue& value);
