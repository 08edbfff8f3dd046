// Pure readings of POP3 reply text: the numbers of the STAT and LIST
// replies, the APOP time stamp of a greeting, and the lines that end a
// multi-line response.
#pragma once

#include <cstdint>

// The decimal number at the start of `text`, up to the first character that
// is not a digit; 0 without a digit. A value above INT32_MAX, however many
// digits it has, gives INT32_MAX.
int32_t ReplyNumber(const char* text);

// The message count of a STAT reply ("+OK 2 320"): the number from the fifth
// character on, just after the status word and its blank; 0 for a shorter
// reply.
int32_t StatCount(const char* reply);

// The size of a LIST n reply ("+OK 1 120"): the number after the second
// blank; 0 without two blanks.
int32_t ListSize(const char* reply);

// The APOP time stamp of a greeting: from its first '<' to the first '>'
// after it, both included, copied into `out` (capacity bytes, NUL included).
// Its length; 0 and an empty text when there is none or it does not fit (a
// cut time stamp would only give a digest the server refuses).
int ApopTimestamp(const char* greeting, char* out, int capacity);

// Whether a line of a message (RETR, TOP) is the final one: "." and CR.
// Only a text that starts a line can be.
bool EndsMessage(const char* line, int length);

// Whether a line of a UIDL list ends it: a "." not followed by a second ".".
// Only a text that starts a line can.
bool EndsList(const char* line, int length);
