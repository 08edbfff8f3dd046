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
// -32 (a CR or LF anywhere), -41 (no '<': logged as a failure, but the
// connection and any operation on it stay) or -43 (no '>' after the '<'). In
// list mode only the first entry counts for the brackets.
int CheckAngleAddress(ChannelContext& c, const char* address, bool listMode);

// The login state an EHLO reply leads to: from its first "AUTH" on (any
// case), CRAM-MD5 (150) before LOGIN or "=LOGIN" (160) before PLAIN (170);
// 0 when the reply offers none of them.
int ChooseAuthState(const char* ehloReply);

// The login state of a session that greeted with EHLO and has a user: an
// OAuth mechanism (273) when one is forced or a token meets an offer, a
// password mechanism KOV_AUTH_MECHANISM forces, else ChooseAuthState's
// choice. Records the reply's offers and the OAuth mechanism.
int ChooseLoginState(ChannelContext& c);

// After the first EHLO of a session that requires STARTTLS: on to STARTTLS
// (250) when the reply offers it, else the operation fails with
// KOV_E_TLS_NOT_OFFERED and nothing more is sent.
int StartTlsOrRefuse(ChannelContext& c);

// The last reply of a login exchange: only a 2xx logs the user in, and the
// log notes the mechanism ("AUTH PLAIN ok"); any other reply is refused.
int FinishAuth(ChannelContext& c, int reply, const char* mechanism);

// Decodes the base64 text of a challenge (from the fifth character of the
// reply to the end of its first line) into Challenge; the bytes decoded.
int DecodeChallenge(ChannelContext& c);

// Whether the reply has the class the step needs: 2 for success, 3 for a
// go-ahead (DATA, a login prompt or challenge). The reader accepts every
// code below 500, so a 4xx (try again later) reaches the step as a 0 and is
// refused here.
bool HasClass(const ChannelContext& c, int reply, int replyClass);

// Fails the step for a reply without the needed class: a connection that
// broke fails as the reader found it, any answer of the server with -49 (its
// text carries the reply).
int Refuse(ChannelContext& c, int reply);

// One entry of an address list: from its '<' to the separator behind it, or
// to the end of the list.
struct ListEntry {
  const char* open;  // the '<'
  const char* sep;   // the separator behind it, or null
  int length;        // from the '<' to the separator or the end
  const char* next;  // where the next entry starts; empty at the list's end
};

// The entry at `cursor`: 0 with `entry` filled, -37 when no '<' comes before
// the next separator (an empty entry inside a list), -32 when the entry is
// too long for one RCPT TO line.
int FindListEntry(const char* cursor, char separator, ListEntry& entry);

// Walks a whole list as the recipients are walked (a trailing separator
// ends it): 0, or the code of the first entry that could not go out.
int CheckListEntries(const char* list, char separator);
