// Parameter values of MIME headers (a file name, a boundary) written so that
// a reader gets back the text given: quoted with escapes, or in the RFC 2231
// form for a value that is not ASCII. Pure functions, no I/O.
#pragma once

// Copies `value` with a backslash before every '"' and '\\', the text that
// goes between the quotes of a parameter value. Returns the length, or -1
// when it does not fit `size` bytes with its NUL.
int EscapeQuoted(const char* value, char* out, int size);

// `lead` (a header up to its ';') and the parameter `attribute` as UTF-8 in
// the RFC 2231 form, each byte outside letters, digits and "!#$&+-.^_`|~" as
// '%' and two hexadecimal digits: "; attribute*=UTF-8''..." on the lead's
// line when it fits 78 characters, else sections "attribute*N*=" on lines
// of their own (joined by CR LF and a blank, each within 78 characters).
// Returns the length, or -1 when it does not fit `size` bytes with its NUL.
int ExtendedParameter(const char* lead, const char* attribute, const char* value, char* out, int size);
