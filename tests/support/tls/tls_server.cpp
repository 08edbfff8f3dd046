#include "support/tls/tls_server.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

namespace {

constexpr size_t kMostPerRecord = 16384;

// Reads from the socket directly; writes into memory, from where Flush sends
// the ciphertext in pieces of the size asked for.
class OpenSslServer : public ServerTls {
 public:
  explicit OpenSslServer(const ServerTlsOptions& options) : options_(options) {
    context_ = SSL_CTX_new(TLS_server_method());
    if (context_ == nullptr) return;
    if (options.minVersion < TLS1_2_VERSION) {
      SSL_CTX_set_security_level(context_, 0);
      SSL_CTX_set_cipher_list(context_, "DEFAULT:@SECLEVEL=0");
    }
    SSL_CTX_set_min_proto_version(context_, options.minVersion);
    SSL_CTX_set_max_proto_version(context_, options.maxVersion);
    SSL_CTX_set_num_tickets(context_, 0);
    usable_ = SSL_CTX_use_certificate_chain_file(context_, options.cert.certFile.c_str()) == 1 &&
              SSL_CTX_use_PrivateKey_file(context_, options.cert.keyFile.c_str(), SSL_FILETYPE_PEM) == 1;
    ERR_clear_error();
  }
  ~OpenSslServer() override {
    Detach();
    SSL_CTX_free(context_);
  }

  bool Attach(intptr_t socket) override {
    Detach();
    if (!usable_) return false;
    socket_ = static_cast<int>(socket);
    ssl_ = SSL_new(context_);
    output_ = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl_, BIO_new_socket(socket_, BIO_NOCLOSE), output_);
    SSL_set_accept_state(ssl_);
    return true;
  }

  int Handshake() override { return Outcome(SSL_do_handshake(ssl_), 1); }

  bool Write(const char* data, size_t length) override {
    for (size_t done = 0; done < length;) {
      const size_t piece = length - done < kMostPerRecord ? length - done : kMostPerRecord;
      if (SSL_write(ssl_, data + done, static_cast<int>(piece)) != static_cast<int>(piece)) return false;
      done += piece;
    }
    return true;
  }

  int Flush(size_t most) override {
    Gather();
    for (size_t sent = 0; sent < most && waitingAt_ < waiting_.size();) {
      size_t n = waiting_.size() - waitingAt_;
      if (options_.piece > 0 && n > options_.piece) n = options_.piece;
      if (n > most - sent) n = most - sent;
      const ssize_t rc = send(socket_, waiting_.data() + waitingAt_, n, MSG_NOSIGNAL);
      if (rc < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kWantWrite : kFailed;
      waitingAt_ += static_cast<size_t>(rc);
      sent += static_cast<size_t>(rc);
    }
    return 1;
  }

  int Read(char* buffer, size_t length) override {
    const int n = SSL_read(ssl_, buffer, static_cast<int>(length));
    return n > 0 ? n : Outcome(n, 0);
  }

  bool QueueTicket() override { return SSL_new_session_ticket(ssl_) == 1 && SSL_do_handshake(ssl_) == 1; }

  void Shutdown() override { SSL_shutdown(ssl_); }

  void Detach() override {
    SSL_free(ssl_);  // frees both BIOs
    ssl_ = nullptr;
    waiting_.clear();
    waitingAt_ = 0;
    ERR_clear_error();
  }

 private:
  // What a call that gave `rc` means: `done` when it succeeded, a wait, the
  // client's close_notify (0) or a failure.
  int Outcome(int rc, int done) {
    if (rc > 0) return done;
    switch (SSL_get_error(ssl_, rc)) {
      case SSL_ERROR_WANT_READ:
        return kWantRead;
      case SSL_ERROR_WANT_WRITE:
        return kWantWrite;
      case SSL_ERROR_ZERO_RETURN:
        return 0;
      default:
        ERR_clear_error();
        return kFailed;
    }
  }

  // Moves the ciphertext OpenSSL wrote behind what still waits.
  void Gather() {
    if (waitingAt_ == waiting_.size()) {
      waiting_.clear();
      waitingAt_ = 0;
    }
    char chunk[16384];
    for (int n; (n = BIO_read(output_, chunk, sizeof chunk)) > 0;) waiting_.append(chunk, static_cast<size_t>(n));
  }

  ServerTlsOptions options_;
  SSL_CTX* context_ = nullptr;
  bool usable_ = false;
  int socket_ = -1;
  SSL* ssl_ = nullptr;
  BIO* output_ = nullptr;
  std::string waiting_;
  size_t waitingAt_ = 0;
};

}  // namespace

std::unique_ptr<ServerTls> MakeServerTls(const ServerTlsOptions& options) {
  return std::make_unique<OpenSslServer>(options);
}
