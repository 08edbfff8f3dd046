// Starting TLS on a connected slot and stepping its handshake.
#include <new>

#include "net/connections.h"
#include "net/internal.h"
#include "net/output.h"
#include "net/ring.h"
#include "net/tls.h"

namespace {

int WexlCodeOf(int tlsResult) {
  switch (tlsResult) {
    case platform::kTlsUnavailable:
      return kWexlTlsUnavailable;
    case platform::kTlsBadCertificate:
      return kWexlTlsCertificate;
    case platform::kTlsOldVersion:
      return kWexlTlsVersion;
    case platform::kTlsClosed:
      return kWexlLost;
    default:
      return kWexlTlsHandshake;
  }
}

int FailHandshake(TlsLink& t, int code) {
  t.failure = code;
  return code;
}

// The session's handshake as far as the ciphertext there and what the socket
// holds now allow: 1000, 0 (waiting for the peer) or the failure.
int RunHandshake(SocketSlot& s) {
  TlsLink& t = *s.Tls;
  for (;;) {
    const int waiting = t.inTail - t.inHead;
    TlsFeed(t);
    const int rc = platform::TlsHandshake(t.session);
    if (rc == platform::kTlsOk) t.established = true;
    // The next flight, the client's Finished or an alert goes out now.
    const int sent = PushOutput(s);
    if (rc != platform::kTlsOk && rc != platform::kTlsWantInput) return FailHandshake(t, WexlCodeOf(rc));
    if (sent < 0) return FailHandshake(t, kWexlLost);
    if (rc == platform::kTlsOk) return kWexlOk;
    if (t.inHead < t.inTail) {
      // More received ciphertext waits for room, which a handshake that took
      // none of it will never make.
      if (t.inTail - t.inHead == waiting) return FailHandshake(t, kWexlTlsHandshake);
      continue;
    }
    if (!platform::SocketReady(s.Socket, platform::kReadable, 0)) return 0;
    if (TlsReceiveCipher(s) < 1) return FailHandshake(t, kWexlLost);
  }
}

}  // namespace

int WexlTlsBegin(int slot, const platform::TlsOptions& options) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!HasSocket(*s)) return kWexlLost;
  if (s->Tls != nullptr) return kWexlTlsHandshake;  // one session per connection
  // What came after the reply that asked for TLS came from someone else.
  if (BufferedCount(*s) > 0) return kWexlTlsInjection;
  const int pushed = PushOutput(*s);
  if (pushed < 0) return pushed;
  // Plaintext sent before must not go out encrypted.
  if (OutputCount(*s) > 0) return kWexlTlsHandshake;
  auto* t = new (std::nothrow) TlsLink();
  if (t == nullptr) return kWexlTlsUnavailable;
  const int rc = platform::TlsCreate(options, &t->session);
  if (rc != platform::kTlsOk) {
    delete t;
    return WexlCodeOf(rc);
  }
  s->Tls = t;
  s->KnownReadable = 0;
  return kWexlOk;
}

int WexlTlsStep(int slot) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (s->Tls == nullptr) return kWexlTlsHandshake;
  if (s->Tls->failure != 0) return s->Tls->failure;
  if (s->Tls->established) return kWexlOk;
  if (!HasSocket(*s)) return FailHandshake(*s->Tls, kWexlLost);
  return RunHandshake(*s);
}

int WexlTlsActive(int slot) {
  SocketSlot* s = WexlSlot(slot);
  return s != nullptr && s->Tls != nullptr && s->Tls->established ? 1 : 0;
}

int WexlTlsVersion(int slot) {
  SocketSlot* s = WexlSlot(slot);
  return s != nullptr && s->Tls != nullptr ? platform::TlsVersion(s->Tls->session) : 0;
}

int WexlTlsDescribe(int slot, char* buffer, int size) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr || s->Tls == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  return platform::TlsDescribe(s->Tls->session, buffer, size);
}
