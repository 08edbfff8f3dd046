// ISO-8859-1 encoded words ("=?iso-8859-1?q?...?=" and "=?iso-8859-1?b?...?=")
// in header lines and part names: pure functions, no I/O.
#pragma once

// True when the text holds the start of a Q or B encoded word in ISO-8859-1
// (letters in any case).
bool HasEncodedWord(const char* text);

enum class WordStyle {
  // Subject and From lines: '_' in a Q word is a blank, and the room a B word
  // frees becomes blanks before the line end, so the line keeps the length it
  // has without the words' "=?iso-8859-1?b?" openings.
  kHeader,
  // Part names: '_' stays, nothing is padded.
  kName,
};

// Copies the first `length` bytes of `text` into `out` (`size` bytes, NUL
// included), replacing every ISO-8859-1 encoded word by its decoded bytes; a
// decoded CR, LF or NUL becomes a blank, so the text stays one line. Text
// outside the words is copied as it is, and so is a word in another character
// set, with another letter or without its closing "?=". Output that does not
// fit is cut. Returns the bytes written, the NUL not counted.
int DecodeEncodedWords(const char* text, int length, char* out, int size, WordStyle style);
