// engine/smtp/: the SMTP states: greeting and EHLO/HELO, AUTH, VRFY, and the
// mail transaction (MAIL, RCPT, DATA) around the composed message.
//
// SMTP connection and authentication pieces shared by the SMTP files, and
// the start of the SMTP operations. A Prepare function takes the arguments
// its export has checked, stores them in the record and gives the first
// state, or the code the export returns.
#pragma once

#include "api/context.h"

// kovSmtpConnect, with a server name that passed ValidServerName and a
// sender: keeps the reply-to address (none for null), the server and the
// sender after CheckAngleAddress; 200, or the check's code.
int PrepareSmtpConnect(ChannelContext& c, const char* server, const char* from, const char* replyTo);

// kovVerifyUser, with a non-empty name list without line breaks: 270, or -55
// when the list cannot be stored.
int PrepareVerify(ChannelContext& c, const char* names);

// kovSendEmail, with To, CC, BCC, subject, message and attachment list (null
// for an absent text). Checks the connection and every argument, and only
// then replaces the slots: a refused call leaves a send in progress on its
// own, intact lists. 204, or the code.
int PrepareSend(ChannelContext& c, const char* const texts[6]);

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
