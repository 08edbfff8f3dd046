// The TLS sessions of a Windows build without its SChannel side: every
// session fails to start with kTlsUnavailable, so that a connection asked to
// run TLS fails with that code instead of going on in plain text.
#include "platform/tls.h"

namespace platform {

int TlsCreate(const TlsOptions&, TlsSession** session) {
  *session = nullptr;
  return kTlsUnavailable;
}
void TlsFree(TlsSession*) {}
int TlsPutInput(TlsSession*, const void*, int) { return 0; }
int TlsTakeOutput(TlsSession*, void*, int) { return 0; }
int TlsOutputPending(const TlsSession*) { return 0; }
int TlsHandshake(TlsSession*) { return kTlsUnavailable; }
int TlsWrite(TlsSession*, const void*, int) { return kTlsClosed; }
int TlsRead(TlsSession*, void*, int) { return kTlsClosed; }
bool TlsHasPlaintext(TlsSession*) { return true; }
int TlsVersion(const TlsSession*) { return 0; }
int TlsDescribe(const TlsSession*, char* buffer, int size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  return 0;
}
void TlsShutdown(TlsSession*) {}

}  // namespace platform
