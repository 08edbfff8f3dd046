// Encoded words ("=?charset?Q?...?=" and "=?charset?B?...?=", RFC 2047) in
// header lines and part names: pure functions, no I/O.
#pragma once

#include "engine/mime/charset.h"

// True when the text holds an encoded word (letters in any case).
bool HasEncodedWord(const char* text);

// How words are written.
struct WordRules {
  // '_' in a Q word is a blank.
  bool underscoreBlank;
  // The room a B word frees becomes blanks before the line end, so that the
  // line keeps the length it has without the words' openings (header lines
  // written as single bytes).
  bool padBase64;
  TextCoding coding;
};

// The rules for header lines and for part names in the decoder's coding.
WordRules HeaderWordRules(TextCoding coding);
WordRules NameWordRules(TextCoding coding);

// Copies the first `length` bytes of `text` into `out` (`size` bytes, NUL
// included), replacing every encoded word by its text in `rules.coding`;
// blanks between two encoded words are dropped, and adjacent words of one
// character set are converted together (a character may be split between
// them). A decoded CR, LF or NUL becomes a blank, so the text stays one line.
// Text outside the words is copied as it is, and so is a word with another
// letter or without its closing "?=". Output that does not fit is cut.
// Returns the bytes written, the NUL not counted.
int DecodeEncodedWords(const char* text, int length, char* out, int size, const WordRules& rules);

// Where a part name's base name starts: after its last path break ('/', '\\'
// or ':') outside encoded words (base64 text holds '/'); a break in the first
// position stays part of the name.
int NameStartOutsideWords(const char* text, int length);
