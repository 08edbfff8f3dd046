// Ciphertext between a slot's socket and its TLS session.
#include <new>

#include "net/internal.h"
#include "net/output.h"
#include "net/tls.h"

namespace {

// Receives one readiness test may make without a time limit, so that a
// server sending nothing but records without plaintext cannot hold it.
constexpr int kMostReceivesPerTest = 16;

// Sends the ciphertext that waits: 1 when all went, 0 when the system has no
// room now, or the failure.
int SendCipher(SocketSlot& s) {
  TlsLink& t = *s.Tls;
  for (;;) {
    if (t.outHead == t.outTail) {
      t.outHead = 0;
      t.outTail = platform::TlsTakeOutput(t.session, t.outData, kTlsOutputSize);
      if (t.outTail == 0) return 1;
    }
    const int n = platform::SocketSend(s.Socket, t.outData + t.outHead, t.outTail - t.outHead);
    if (n < 0) return FailOutput(s, 0);
    if (n == 0) return 0;
    t.outHead += n;
  }
}

uint32_t Left(uint32_t start, uint32_t limitMs) {
  if (limitMs == 0) return 0;
  const uint32_t spent = platform::CoarseTickCount() - start;
  return spent < limitMs ? limitMs - spent : 0;
}

}  // namespace

int TlsPushOutput(SocketSlot& s) {
  if (s.SendError != 0) return s.SendError;
  if (!HasSocket(s)) return kWexlLost;
  for (;;) {
    const int rc = SendCipher(s);
    if (rc < 0) return rc;
    // Plaintext is encrypted only once the ciphertext before it has gone, so
    // that a peer that does not read holds at most one buffer of each.
    if (rc == 0 || !s.Tls->established || OutputCount(s) == 0) return kWexlOk;
    if (platform::TlsWrite(s.Tls->session, s.OutData + s.OutHead, OutputCount(s)) < 0) {
      s.Tls->ended = true;
      return FailOutput(s, kWexlLost);
    }
    s.OutHead = 0;
    s.OutTail = 0;
  }
}

bool TlsOutputWaits(const SocketSlot& s) {
  return s.Tls != nullptr && (s.Tls->outHead < s.Tls->outTail || platform::TlsOutputPending(s.Tls->session) > 0);
}

void TlsFeed(TlsLink& t) {
  if (t.inHead == t.inTail) return;
  t.inHead += platform::TlsPutInput(t.session, t.inData + t.inHead, t.inTail - t.inHead);
  if (t.inHead == t.inTail) {
    t.inHead = 0;
    t.inTail = 0;
  }
}

int TlsReceiveCipher(SocketSlot& s) {
  TlsLink& t = *s.Tls;
  s.KnownReadable = 0;
  const int n = platform::SocketReceive(s.Socket, t.inData + t.inTail, kTlsInputSize - t.inTail);
  if (n < 1) {
    t.ended = true;
    return n;
  }
  t.inTail += n;
  TlsFeed(t);
  return n;
}

bool TlsReadyNow(SocketSlot& s) {
  TlsLink& t = *s.Tls;
  while (!t.ended) {
    const int waiting = t.inTail - t.inHead;
    TlsFeed(t);
    if (platform::TlsHasPlaintext(t.session)) return true;
    if (t.inHead == t.inTail) return false;
    // Without plaintext the session holds less than a record: input it
    // refuses all the same means a stream that cannot go on.
    if (t.inTail - t.inHead == waiting) t.ended = true;
  }
  return true;
}

bool TlsReadable(SocketSlot& s, uint32_t waitMs) {
  const uint32_t start = waitMs > 0 ? platform::CoarseTickCount() : 0;
  for (int receives = 0; !TlsReadyNow(s); ++receives) {
    const uint32_t left = Left(start, waitMs);
    if (left == 0 && receives >= kMostReceivesPerTest) return false;
    if (!platform::SocketReady(s.Socket, platform::kReadable, left)) return false;
    TlsReceiveCipher(s);
    // A key update or an alert the records asked for goes out at once.
    TlsPushOutput(s);  // a failure stays in SendError
  }
  return true;
}

int TlsReceive(SocketSlot& s, void* buffer, int length) {
  TlsLink& t = *s.Tls;
  if (!t.established) return 0;  // no plaintext before the handshake ends
  auto* bytes = static_cast<unsigned char*>(buffer);
  int n = 0;
  while (n < length) {
    TlsFeed(t);
    const int got = platform::TlsRead(t.session, bytes + n, length - n);
    if (got < 0) t.ended = true;
    if (got <= 0) break;
    n += got;
  }
  return n;
}

void TlsRelease(SocketSlot& s, bool notify) {
  TlsLink* t = s.Tls;
  if (t == nullptr) return;
  if (notify && HasSocket(s) && t->established && !t->ended && s.SendError == 0) {
    platform::TlsShutdown(t->session);
    SendCipher(s);  // as far as the system takes it now; never waited for
  }
  platform::TlsFree(t->session);
  s.Tls = nullptr;
  delete t;
}
