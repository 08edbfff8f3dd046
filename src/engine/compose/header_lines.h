// The multipart Content-Type header of a composed message, built into a
// caller's buffer: a pure function, no I/O. Header values are folded by
// codec/lines.
#pragma once

#include <cstdint>

// The Content-Type line of a multipart message with `boundary` in quotes:
// multipart/related for HTML text (with the folded type parameter when an
// alternative text goes along), multipart/mixed otherwise. Cut to size - 1
// characters; returns the length written.
int MessageContentType(bool html, bool alternative, const char* boundary, char* out, int size);

// The X-Mailer line naming the library's version (major in bits 8-15, minor
// in bits 4-7): "X-Mailer: Orvandel Kovmail Version 3.5" for 0x0350.
int MailerLine(int version, char* out, int size);

// What makes a Message-ID unique: the moment, the process and a count of
// the identifiers this process made.
struct MessageIdStamp {
  uint32_t seconds;
  uint32_t process;
  uint32_t ticks;
  uint32_t counter;
};

// The Message-ID line for `stamp` with the domain of the sender address
// `sender` (after its last '@', up to the first character that cannot be in
// a domain name), or "localhost" when it has none. Cut to size - 1
// characters; returns the length written.
int MessageIdLine(const MessageIdStamp& stamp, const char* sender, char* out, int size);

// Whether a block of header lines (separated by CR and LF) holds a header
// named `name` (compared without regard to a-z case).
bool HasHeaderNamed(const char* block, const char* name);

// The Content-Type line of the main text in Unicode mode, where it is always
// followed by the quoted-printable transfer encoding: plain text, HTML and
// enriched text name the charset UTF-8; body type 4 keeps its charset and
// 9 the caller's type (null or empty: plain text).
const char* UnicodeTextType(uint32_t bodyType, const char* userType);
