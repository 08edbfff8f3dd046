// The Date header line for the present moment, from the platform's local
// clock and time zone.
#pragma once

// Writes the line (without CR LF) into out, cut to size - 1 characters.
void DateHeaderNow(char* out, int size);
