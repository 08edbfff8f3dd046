// What SMTP and POP3 share for TLS and OAuth: the capabilities a server
// offers, the handshake steps, the rule that no secret goes without TLS,
// and the OAuth mechanism choice and command line.
#pragma once

#include <cstdint>

#include "api/context.h"

// SecurityState::Offers bits.
enum : uint32_t {
  kOffersTls = 1,          // STARTTLS (EHLO) or STLS (CAPA)
  kOffersXoauth2 = 2,      // XOAUTH2 on the AUTH (EHLO) or SASL (CAPA) line
  kOffersOauthBearer = 4,  // OAUTHBEARER likewise
};

// The offers of one capability line without its status part: "STARTTLS",
// "STLS", "AUTH PLAIN XOAUTH2", "SASL OAUTHBEARER" (keywords in any case).
uint32_t CapabilityOffers(const char* line);
// The offers of a whole EHLO reply: every line from its fifth character on.
uint32_t EhloOffers(const char* reply);

// Whether the channel's connection runs through an established TLS session.
bool TlsActive(const ChannelContext& c);
// The library's code for a failure of the TLS socket layer (kWexlTls...);
// any other failure during a handshake counts as a failed handshake.
int TlsFailureCode(int wexlCode);

// Starts the handshake on the channel's connection (nothing may be buffered
// from the peer: plain text after the go-ahead fails as an injection); the
// step `handshakeState` follows, within MaxWait.
int BeginTlsStep(ChannelContext& c, uint32_t now, int handshakeState);
// One handshake step: "not yet" while it waits for the peer (readable);
// once established it logs the session and `nextState` follows. A failure
// ends the operation with its code, the connection closed at once.
int TlsHandshakeStep(ChannelContext& c, uint32_t now, int nextState);

// Fails the step with KOV_E_AUTH_NEEDS_TLS before a secret would go out
// without TLS: a token always, a password when KOV_TLS asked for TLS. 0
// when the secret may go.
int RequireTls(ChannelContext& c, bool token);

// The OAuth mechanism of the login (KOV_AUTH_XOAUTH2 or KOV_AUTH_OAUTHBEARER),
// forced by KOV_AUTH_MECHANISM or chosen from the offers when a token is set
// (OAUTHBEARER first); 0 for none.
int ChooseOAuth(const ChannelContext& c);

// "AUTH <mechanism>", and with `withResponse` a blank and the base64 client
// message, and CR LF, into `out`. `shown` gets how much of it the
// log may show (the command word and the mechanism). Its length, or 0 when
// it does not fit.
int BuildOAuthCommand(const ChannelContext& c, bool withResponse, char* out, int size, int& shown);
// The base64 client message alone, as one line ended by CR LF; its length
// or 0.
int BuildOAuthResponse(const ChannelContext& c, char* out, int size);
// The room a full OAuth command line needs: the longest token, user name
// and host, base64-encoded, with the command word and CR LF.
constexpr int kOAuthLineSize = 6400;
// The mechanism's name in commands and log lines.
const char* OAuthName(const ChannelContext& c);
// What a failure answer (a challenge carrying the server's error) gets: an
// empty line for XOAUTH2, the %x01 of RFC 7628 for OAUTHBEARER.
const char* OAuthAbortAnswer(const ChannelContext& c);
