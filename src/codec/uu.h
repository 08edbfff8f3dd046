// Uuencode, decoding: the "begin" line that opens an encoded file and names
// it, its data lines, and the "end" line that closes it.
#pragma once

// The most bytes one data line can give (its count character says 0..63).
constexpr int kUuLineBytes = 63;

// Reads a "begin" line: "begin", blanks, a mode of one to four octal
// digits, blanks, then the name up to the line end, trailing blanks and tabs
// not part of it. Sets where the name lies; false for any other line and for
// one without a name.
bool ReadUuBegin(const char* line, int length, int& nameStart, int& nameLength);

// True for the "end" line, blanks around it and its line end allowed.
bool IsUuEnd(const char* line, int length);

// Decodes one data line (its line end, CR LF or LF, may follow) into `out`
// (kUuLineBytes bytes): the first character gives the count, the characters
// after it four for every three bytes, blank and '`' both zero bits, missing
// characters at the end (blanks a transport dropped) zero too. Returns the
// count, or -1 when the line is not uuencode: empty, a character outside ' '
// to '`', or more characters than the count's padded groups and one check
// character.
int DecodeUuLine(const char* line, int length, char* out);
