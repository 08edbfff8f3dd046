// Splitting and joining file paths, the same rules on every system: '/', '\\'
// and ':' all end the directory part of a path, so that a name taken from a
// message or an argument keeps no folder whichever system reads it.
#pragma once

// Whether a character ends the directory part of a path.
bool IsPathBreak(char ch);

// Where the base name of the first `length` characters of `path` starts:
// after the last path break; a break in the first position stays part of
// the name unless `leadingBreakCounts`. 0 for a null path.
int BaseNameStart(const char* path, int length, bool leadingBreakCounts = false);

// Joins the directory, `separator` unless the directory is empty or already
// ends with it (an empty directory is the current one: the path is the name
// alone), and the file name, into `out` (capacity bytes, NUL included). Only
// a path that fits whole is written: its length, else -1 and an empty text,
// so that two names cut to the same text can never name one file.
int JoinPath(const char* dir, const char* name, char separator, char* out, int capacity);
