// POSIX side of the TLS sessions: OpenSSL 3 with two memory BIOs, one for
// the ciphertext the peer sent and one for the ciphertext to send. The
// sessions that trust the system's roots share one context (loading the
// roots once per process); a session with a CA file of its own gets its own.
#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/tls.h"

namespace platform {

struct TlsSession {
  SSL_CTX* context;
  SSL* ssl;
  BIO* input;   // ciphertext received, read by OpenSSL
  BIO* output;  // ciphertext OpenSSL wrote, waiting to be sent
  int minVersion;
  bool verify;
  bool established;
  bool closed;  // close_notify or a broken record seen: TlsRead reports it
};

namespace {

// The ciphertext a session keeps before it is decrypted: several whole records
// (a record is at most 16 KiB of plaintext and its overhead).
constexpr size_t kInputRoom = 4 * 18432;

std::mutex systemContextLock;
SSL_CTX* systemContext = nullptr;  // kept for the life of the process

SSL_CTX* NewContext() {
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  if (context == nullptr) return nullptr;
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  // A server that asks to renegotiate gets a refusal: the stream of records
  // never has to wait for a handshake in the middle of the data.
  SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_mode(context, SSL_MODE_RELEASE_BUFFERS);
  return context;
}

// A context holding the roots the options name (one reference for the
// caller), or null.
SSL_CTX* ContextFor(const TlsOptions& options) {
  if (options.caFile != nullptr && options.caFile[0] != '\0') {
    SSL_CTX* context = NewContext();
    if (context != nullptr && SSL_CTX_load_verify_locations(context, options.caFile, nullptr) != 1) {
      SSL_CTX_free(context);
      return nullptr;
    }
    return context;
  }
  std::lock_guard<std::mutex> hold(systemContextLock);
  if (systemContext == nullptr) {
    systemContext = NewContext();
    if (systemContext != nullptr) SSL_CTX_set_default_verify_paths(systemContext);
  }
  if (systemContext == nullptr || SSL_CTX_up_ref(systemContext) != 1) return nullptr;
  return systemContext;
}

// The name without the brackets of an IPv6 literal.
std::string BareName(const char* name) {
  size_t n = strlen(name);
  if (n >= 2 && name[0] == '[' && name[n - 1] == ']') return std::string(name + 1, n - 2);
  return name;
}

bool IsAddressLiteral(const std::string& name) {
  unsigned char address[16];
  return inet_pton(AF_INET, name.c_str(), address) == 1 || inet_pton(AF_INET6, name.c_str(), address) == 1;
}

// Sets the name to check, SNI and the version floor; false on failure.
bool Configure(TlsSession& s, const TlsOptions& options) {
  const std::string name = BareName(options.serverName);
  const bool literal = IsAddressLiteral(name);
  if (!literal && !name.empty() && SSL_set_tlsext_host_name(s.ssl, name.c_str()) != 1) return false;
  const int floor = options.minVersion >= kTls13 ? TLS1_3_VERSION : TLS1_2_VERSION;
  if (SSL_set_min_proto_version(s.ssl, floor) != 1) return false;
  if (!options.verify) {
    SSL_set_verify(s.ssl, SSL_VERIFY_NONE, nullptr);
    return true;
  }
  SSL_set_verify(s.ssl, SSL_VERIFY_PEER, nullptr);
  X509_VERIFY_PARAM* param = SSL_get0_param(s.ssl);
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  if (literal) return X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str()) == 1;
  return X509_VERIFY_PARAM_set1_host(param, name.c_str(), 0) == 1;
}

bool IsVersionRefusal(unsigned long error) {
  if (ERR_GET_LIB(error) != ERR_LIB_SSL) return false;
  const int reason = ERR_GET_REASON(error);
  return reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION ||
         reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_WRONG_SSL_VERSION;
}

// What a failed handshake step means; the thread's error queue is emptied.
int HandshakeFailure(TlsSession& s) {
  const unsigned long error = ERR_peek_error();
  ERR_clear_error();
  // Without the checks a result is still recorded, but refused nothing.
  if (s.verify && SSL_get_verify_result(s.ssl) != X509_V_OK) return kTlsBadCertificate;
  if (IsVersionRefusal(error)) return kTlsOldVersion;
  return kTlsHandshakeFailed;
}

}  // namespace

int TlsCreate(const TlsOptions& options, TlsSession** session) {
  *session = nullptr;
  if (options.serverName == nullptr) return kTlsHandshakeFailed;
  SSL_CTX* context = ContextFor(options);
  if (context == nullptr) {
    ERR_clear_error();
    return kTlsUnavailable;
  }
  auto* s = new (std::nothrow) TlsSession{
      context, SSL_new(context), BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()), options.minVersion, options.verify, false,
      false};
  if (s == nullptr) {
    SSL_CTX_free(context);
    return kTlsUnavailable;
  }
  if (s->ssl == nullptr || s->input == nullptr || s->output == nullptr) {
    BIO_free(s->input);
    BIO_free(s->output);
    s->input = s->output = nullptr;
    TlsFree(s);
    return kTlsUnavailable;
  }
  // An empty input means "wait for more", never the end of the stream.
  BIO_set_mem_eof_return(s->input, -1);
  SSL_set_bio(s->ssl, s->input, s->output);
  SSL_set_connect_state(s->ssl);
  if (!Configure(*s, options)) {
    ERR_clear_error();
    TlsFree(s);
    return kTlsHandshakeFailed;
  }
  *session = s;
  return kTlsOk;
}

void TlsFree(TlsSession* session) {
  if (session == nullptr) return;
  SSL_free(session->ssl);  // frees both BIOs it owns
  SSL_CTX_free(session->context);
  delete session;
}

int TlsPutInput(TlsSession* session, const void* data, int length) {
  if (length < 1) return 0;
  const size_t held = BIO_ctrl_pending(session->input);
  if (held >= kInputRoom) return 0;
  const size_t room = kInputRoom - held;
  const int n = static_cast<size_t>(length) < room ? length : static_cast<int>(room);
  return BIO_write(session->input, data, n) == n ? n : 0;
}

int TlsTakeOutput(TlsSession* session, void* buffer, int length) {
  if (length < 1 || BIO_ctrl_pending(session->output) == 0) return 0;
  const int n = BIO_read(session->output, buffer, length);
  return n > 0 ? n : 0;
}

int TlsOutputPending(const TlsSession* session) { return static_cast<int>(BIO_ctrl_pending(session->output)); }

int TlsHandshake(TlsSession* session) {
  if (session->established) return kTlsOk;
  const int rc = SSL_do_handshake(session->ssl);
  if (rc != 1) {
    if (SSL_get_error(session->ssl, rc) == SSL_ERROR_WANT_READ) return kTlsWantInput;
    return HandshakeFailure(*session);
  }
  // The floor was set before the handshake; a session below it still fails.
  if (SSL_version(session->ssl) < (session->minVersion >= kTls13 ? TLS1_3_VERSION : TLS1_2_VERSION)) {
    return kTlsOldVersion;
  }
  session->established = true;
  return kTlsOk;
}

int TlsWrite(TlsSession* session, const void* data, int length) {
  if (length < 1) return 0;
  // A close_notify received ends the reading side only, as a FIN does.
  if (!session->established) return kTlsClosed;
  const int n = SSL_write(session->ssl, data, length);
  if (n == length) return n;
  ERR_clear_error();
  session->closed = true;
  return kTlsClosed;
}

int TlsRead(TlsSession* session, void* buffer, int length) {
  if (session->closed) return kTlsClosed;
  if (length < 1) return 0;
  const int n = SSL_read(session->ssl, buffer, length);
  if (n > 0) return n;
  if (SSL_get_error(session->ssl, n) == SSL_ERROR_WANT_READ) return 0;
  ERR_clear_error();
  session->closed = true;
  return kTlsClosed;
}

bool TlsHasPlaintext(TlsSession* session) {
  if (session->closed || SSL_pending(session->ssl) > 0) return true;
  if (!session->established || BIO_ctrl_pending(session->input) == 0) return false;
  // Decrypts the next record into the session's own buffer without taking it:
  // records without plaintext (session tickets) are consumed on the way.
  char byte;
  const int n = SSL_peek(session->ssl, &byte, 1);
  if (n > 0) return true;
  if (SSL_get_error(session->ssl, n) == SSL_ERROR_WANT_READ) return false;
  ERR_clear_error();
  session->closed = true;
  return true;
}

int TlsVersion(const TlsSession* session) {
  return session != nullptr && session->established ? SSL_version(session->ssl) : 0;
}

int TlsDescribe(const TlsSession* session, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = '\0';
  if (session == nullptr || !session->established) return 0;
  char subject[256] = "";
  char issuer[256] = "";
  X509* peer = SSL_get0_peer_certificate(session->ssl);
  if (peer != nullptr) {
    X509_NAME_oneline(X509_get_subject_name(peer), subject, sizeof subject);
    X509_NAME_oneline(X509_get_issuer_name(peer), issuer, sizeof issuer);
  }
  int n = snprintf(buffer, static_cast<size_t>(size), "%s %s; subject: %s; issuer: %s", SSL_get_version(session->ssl),
                   SSL_get_cipher_name(session->ssl), subject, issuer);
  if (n < 0) n = 0;
  return n < size ? n : size - 1;
}

void TlsShutdown(TlsSession* session) {
  if (session == nullptr || !session->established || session->closed) return;
  SSL_shutdown(session->ssl);
  ERR_clear_error();
}

}  // namespace platform
