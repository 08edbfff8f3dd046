// Names of the files that decoded parts are saved in: pure functions, the same
// rules on every build, so that a name taken from a message can never leave
// the attachment directory, name a device or replace the mail file.
#pragma once

#include <cstdint>

// How saved parts are named.
struct PartNaming {
  int32_t attachNumber;      // above 0: "%d.att" with this number
  bool numberNames;          // else, when set: "%d-%s" with counter + 1 and the name
  int32_t counter;           // parts saved on the channel so far
  const char* mailFileName;  // the mail file's name (a path is allowed)
  bool utf8 = false;         // the name is UTF-8: bytes from 0x80 up are its characters
};

// Builds the file name of a part named `name` into `out` (`size` bytes, NUL
// included, cut to fit): numbered or prefixed as `naming` says, then
// - every byte 1-31, '"', '*', '/', ':', '<', '=', '>', '?', '\\', '|' and
//   0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E (not in a UTF-8 name) becomes '_';
// - an empty name, or one of dots and blanks only, becomes "noname";
// - each dot or blank at the end becomes '_';
// - a device name (IsDeviceName), a name that starts with a dot (a hidden
//   file) and a name equal to the mail file's (letters in any case) get a
//   leading '_'.
// Returns the length written.
int MakePartFileName(const char* name, const PartNaming& naming, char* out, int size);

// True for the names a Windows system keeps for its devices, whatever follows a
// first dot and in any case: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9 and
// LPT1-9 (also with the superscript digits 1, 2 and 3 of ISO-8859-1), blanks
// before the dot ignored.
bool IsDeviceName(const char* name);

// Appends `name` to the list of saved names in `list` (`capacity` bytes, NUL
// included), after `separator` when the list is not empty. A name that does
// not fit with its separator and the NUL is left out: false.
bool AppendSavedName(char* list, int capacity, const char* name, char separator);

// Copies `name` (`length` bytes) into `out` (max + 1 bytes): whole when it
// fits, else its beginning cut so that it fits with its extension (the text
// from its last dot, when that is at most 32 bytes and not the whole name);
// `utf8`: a character is never cut in two. Returns the length written.
int FitName(const char* name, int length, bool utf8, char* out, int max);

// A hash of a file name, letters in any case alike.
uint32_t NameHash(const char* name);

// "stem (number).ext" from "stem.ext" (a name without an extension, or one
// that starts with its only dot, gets the number at its end) into `out`
// (`size` bytes, cut to fit). Returns the length written.
int NumberedName(const char* name, int number, char* out, int size);
