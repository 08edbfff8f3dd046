// Header texts that are not ASCII, written as RFC 2047 encoded words in
// UTF-8, and parameter values (quoted with escapes, or RFC 2231): an unstructured value, the display names of an address list, and
// the values of a block of header lines. Pure functions, no I/O.
//
// Every result is a folded header value: its lines are joined by CR LF and a
// blank, each line (the `column` characters before the value on the first
// one included) at most 78 characters long, each encoded word at most 75
// characters and made of whole UTF-8 characters, so a reader joins the
// words to the text given. Each returns the length written, or -1 when the
// result does not fit `size` bytes with its NUL (`out` then holds nothing
// usable). `size` of WordsSize(length) is always enough.
#pragma once

// The longest header line that encoded words are fitted into.
constexpr int kEncodedLineMax = 78;

// The bytes of the UTF-8 character at `s` (`left` bytes remain, 1 or more):
// as its lead byte says, cut short where continuation bytes end, so a stray
// byte stands alone.
int Utf8CharLength(const unsigned char* s, int left);

// Whether the text holds a byte of 0x80 or above.
bool HasEightBit(const char* text);

// Bytes an encoded form of a text of `length` bytes may need at most.
int WordsSize(int length);

// The whole text as encoded words, B or Q, whichever is shorter.
int EncodeWords(const char* text, int length, int column, char* out, int size);

// An address list whose entries are separated by `sep` (outside quotes and
// angle brackets): a display name that is not ASCII becomes encoded words
// (the quotes around it and its backslash escapes removed first), the
// address stays as it is; other entries are copied unchanged. Entries are
// joined by `sep` and a blank, or a fold.
int EncodeAddressList(const char* list, char sep, int column, char* out, int size);

// A block of header lines ("Name: value", separated by CR and LF): each
// value that is not ASCII becomes encoded words; other lines are copied.
// Lines are joined by CR LF.
int EncodeHeaderBlock(const char* block, char* out, int size);

// Parameter values of MIME headers (a file name, a boundary) written so that
// a reader gets back the text given: quoted with escapes, or in the RFC 2231
// form for a value that is not ASCII. Pure functions, no I/O.

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
