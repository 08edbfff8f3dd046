// The line end held back from a part file before a boundary: a pure function
// over the decoded bytes of a part body as its pieces arrive.
#pragma once

#include "codec/strings.h"

// Passes `length` decoded bytes on to a part file, holding back a line end
// (CR LF, LF or CR) at their very end in `held` until more bytes show that it
// is not the last one: the line end before a boundary belongs to the
// boundary. Writes the bytes to pass into `out` (length + 2 bytes) and
// returns their number.
int HoldLineEnd(const char* data, int length, Carry& held, char* out);
