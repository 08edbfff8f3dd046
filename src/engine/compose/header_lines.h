// The multipart Content-Type header of a composed message, built into a
// caller's buffer: a pure function, no I/O. Header values are folded by
// codec/lines.
#pragma once

// The Content-Type line of a multipart message with `boundary` in quotes:
// multipart/related for HTML text (with the folded type parameter when an
// alternative text goes along), multipart/mixed otherwise. Cut to size - 1
// characters; returns the length written.
int MessageContentType(bool html, bool alternative, const char* boundary, char* out, int size);
