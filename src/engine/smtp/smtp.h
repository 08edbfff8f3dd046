// engine/smtp/: the SMTP states: greeting and EHLO/HELO, AUTH, VRFY, and the
// mail transaction (MAIL, RCPT, DATA) around the composed message.
//
// SMTP connection and authentication pieces shared by the SMTP files.
#pragma once

#include "api/context.h"

// The HELO/EHLO argument when the sender address has no '@'.
constexpr const char* kDefaultHeloDomain = "localhost";

// Checks an address text for its angle brackets: 0, -37 (null or empty),
// -32 (a CR or LF anywhere), -41 (no '<': a failure of the operation,
// logged, connection closed) or -43 (no '>' after the '<'). In list mode only
// the first entry counts for the brackets.
int CheckAngleAddress(ChannelContext& c, const char* address, bool listMode);

// The login state an EHLO reply leads to: from its first "AUTH" on (any
// case), CRAM-MD5 (150) before LOGIN or "=LOGIN" (160) before PLAIN (170);
// 0 when the reply offers none of them.
int ChooseAuthState(const char* ehloReply);

// Base64 of `length` bytes as one line ended by CR LF, however long: servers
// reject credentials split over several lines. The characters written
// (CR LF included), or 0 when `size` cannot hold them and a NUL.
int EncodeOneLine(const char* source, int length, char* out, int size);
