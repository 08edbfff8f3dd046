// Pulling one line out of a text buffer, found by its content or its number.
#pragma once

// Finds `sought` in buffer (a-z folded to A-Z) and copies the line from there,
// the sought text included, with CopyLine. Returns CopyLine's result, or 0
// when a pointer is null or the text is not found.
int ExtractText(const char* buffer, const char* sought, char* out, int size);

// Copies line `number` (the first is 1; 1 or less gives the first) with
// CopyLine. Returns CopyLine's result, or 0 when a pointer is null or the
// buffer has fewer lines.
int ExtractLine(const char* buffer, int number, char* out, int size);
