// TLS inside the socket layer. A slot with a session hands the session the
// ciphertext it receives and sends the ciphertext the session produces, at the
// same places where a plain slot hands bytes to and from the system; the ring,
// the read-ahead and the output buffer hold plaintext either way. For an
// established session "readable" means plaintext (or the end of the stream)
// is there: a socket that only brought a session ticket is not readable.
#pragma once

#include <cstdint>

#include "net/slots.h"
#include "platform/tls.h"

// Ciphertext received and not yet taken by the session: one receive of this
// size keeps bulk data near one system call per 16 KiB record.
constexpr int kTlsInputSize = 65536;
// Ciphertext taken from the session for sending: a whole output buffer's
// records in one send.
constexpr int kTlsOutputSize = kOutputSize + 2048;

struct TlsLink {
  platform::TlsSession* session;
  bool established;
  // The socket's receive gave the end or a failure, or the record stream
  // broke: reads report the connection as lost.
  bool ended;
  // The code a failed handshake gave, repeated by every later step.
  int32_t failure;
  unsigned char inData[kTlsInputSize];
  int32_t inHead;
  int32_t inTail;
  unsigned char outData[kTlsOutputSize];
  int32_t outHead;
  int32_t outTail;
};

// Sends waiting ciphertext and, once none waits and the session is
// established, encrypts the output buffer's plaintext and sends that: 1000
// (bytes may still wait) or the failure, kept in SendError.
int TlsPushOutput(SocketSlot& s);
// Whether ciphertext still waits to be sent.
bool TlsOutputWaits(const SocketSlot& s);
// Whether plaintext (or the end) is there, receiving ciphertext as it comes
// within waitMs.
bool TlsReadable(SocketSlot& s, uint32_t waitMs);
// Whether plaintext (or the end) is there without asking the system.
bool TlsReadyNow(SocketSlot& s);
// Decrypted bytes, up to `length`; 0 at the end of the stream.
int TlsReceive(SocketSlot& s, void* buffer, int length);
// One receive of ciphertext into the link's empty input buffer, handed to
// the session: the bytes received, or below 1 at the end (the link ends).
int TlsReceiveCipher(SocketSlot& s);
// Hands the session what it takes of the received ciphertext.
void TlsFeed(TlsLink& t);
// Frees the slot's session; with `notify` a close_notify goes out first as
// far as the system takes it now. Nothing for a plain slot.
void TlsRelease(SocketSlot& s, bool notify);
