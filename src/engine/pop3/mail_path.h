// The path of a downloaded message's mail file.
#pragma once

// Joins the directory, `separator` unless the directory already ends with it
// (an empty directory gives a path that starts with it), and the file name,
// into `out` (capacity bytes, NUL included). Only a path that fits whole is
// written: its length, else -1 and an empty text, so that two names cut to
// the same text can never put two messages into one file.
int JoinMailPath(const char* dir, const char* name, char separator, char* out, int capacity);
