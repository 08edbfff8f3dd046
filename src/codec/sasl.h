// The client messages of the OAuth 2.0 SASL mechanisms, before base64:
// XOAUTH2 (the form mail providers document) and OAUTHBEARER (RFC 7628),
// and the capability words servers list their offers in.
#pragma once

// "user=<user>\x01auth=Bearer <token>\x01\x01". The length written (no NUL
// counted, one stored), or 0 when it does not fit `size` bytes.
int BuildXoauth2(const char* user, const char* token, char* out, int size);

// "n,a=<user>,\x01host=<host>\x01port=<port>\x01auth=Bearer <token>\x01\x01":
// the GS2 header names the user as authorisation identity, with ',' and '='
// in it escaped as "=2C" and "=3D". The length written, or 0 when it does not
// fit `size` bytes.
int BuildOauthBearer(const char* user, const char* host, int port, const char* token, char* out, int size);

// What a server's failure answer to OAUTHBEARER gets: the single %x01 that
// lets the server finish the exchange with its failure reply. XOAUTH2 gets
// an empty line.
constexpr const char* kOauthBearerAbortAnswer = "AQ==";

// Whether `word` stands in `text` as a whole word (any case for a-z): with
// the text's start, a blank, '=' or '-' before it and its end, a blank, '='
// or a line end after it.
bool HasWord(const char* text, const char* word);
