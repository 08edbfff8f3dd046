// TLS client sessions of the platform layer: OpenSSL with memory BIOs on
// POSIX, SChannel on Windows (its DLLs loaded on the first use, so that a
// plain-text user pays nothing). A session never touches a socket: the socket
// layer hands it the ciphertext it received, sends the ciphertext it
// produces, and keeps plaintext in its own ring, read-ahead and output
// buffer. Sessions are independent: different sessions may be used on
// different threads at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct TlsSession;

// TLS protocol versions as they appear on the wire.
constexpr int kTls12 = 0x0303;
constexpr int kTls13 = 0x0304;

struct TlsOptions {
  // The name the server's certificate must carry, as the application gave it
  // (never the resolved address); also sent as SNI unless it is an address
  // literal. Not null.
  const char* serverName;
  // A PEM file of trusted roots that replaces the system's; null or empty:
  // the system's roots. Read only when `verify` is true; one that cannot be
  // read makes TlsCreate fail with kTlsBadCertificate (nothing is trusted).
  const char* caFile;
  // False: neither the chain nor the name is checked (private test servers).
  bool verify;
  // The lowest version accepted (kTls12 or kTls13); a session that
  // negotiates less fails its handshake with kTlsOldVersion.
  int minVersion;
};

enum TlsResult {
  kTlsOk = 0,
  kTlsWantInput = 1,          // the handshake needs more ciphertext from the peer
  kTlsUnavailable = -1,       // the system's TLS library cannot be loaded or used
  kTlsHandshakeFailed = -2,   // the peer refused, or spoke no TLS we accept
  kTlsBadCertificate = -3,    // untrusted chain, wrong name, expired
  kTlsOldVersion = -4,        // negotiated below minVersion
  kTlsClosed = -5,            // close_notify received, or the record stream is broken
};

// Creates a client session: kTlsOk with *session set, or a failure with
// *session null.
int TlsCreate(const TlsOptions& options, TlsSession** session);
// Frees a session (null is fine); sends nothing.
void TlsFree(TlsSession* session);

// Hands over ciphertext received from the peer: the count taken, which is
// less than `length` when the session's input buffer has no more room (the
// rest is handed over after the next TlsRead or TlsHandshake).
int TlsPutInput(TlsSession* session, const void* data, int length);
// Copies up to `length` bytes of ciphertext that waits to be sent: the count,
// 0 when none waits.
int TlsTakeOutput(TlsSession* session, void* buffer, int length);
// The bytes of ciphertext waiting to be sent.
int TlsOutputPending(const TlsSession* session);

// Runs the handshake as far as the input allows: kTlsOk once it is complete
// and the certificate and version passed their checks, kTlsWantInput, or a
// failure. Output it produces waits for TlsTakeOutput.
int TlsHandshake(TlsSession* session);
// Encrypts plaintext into the waiting output: the count taken (all of it, in
// records), or kTlsClosed.
int TlsWrite(TlsSession* session, const void* data, int length);
// Decrypts into `buffer`: the count, 0 when no whole record with plaintext
// is there yet (session tickets and other records without plaintext are
// consumed and give 0), kTlsClosed after close_notify or a broken record.
int TlsRead(TlsSession* session, void* buffer, int length);
// Whether TlsRead would give plaintext (or report the close) now, without
// more input: what "readable" means for a TLS connection.
bool TlsHasPlaintext(TlsSession* session);

// The negotiated version (kTls12, kTls13, ...), 0 before the handshake ends.
int TlsVersion(const TlsSession* session);
// "<version> <cipher>; subject: <subject>; issuer: <issuer>" of the
// established session, cut to fit and always terminated: its length.
int TlsDescribe(const TlsSession* session, char* buffer, int size);
// Queues a close_notify for TlsTakeOutput.
void TlsShutdown(TlsSession* session);

}  // namespace platform
