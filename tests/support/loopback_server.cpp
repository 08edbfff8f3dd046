#ifdef _WIN32
// The IPv6 address record comes with the Windows Sockets 2 headers, which
// must come before anything that includes windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#endif

#include "support/loopback_server.h"

#include <chrono>
#include <cstring>

#include "net/connections.h"

#ifdef _WIN32
using Handle = SOCKET;
using AddressLength = int;
const Handle kNoSocket = INVALID_SOCKET;
constexpr int kSendFlags = 0;
static void CloseSocket(Handle h) { closesocket(h); }
static void SetNonBlocking(Handle h) {
  u_long on = 1;
  ioctlsocket(h, FIONBIO, &on);
}
static bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
static void StartSockets() {
  WSADATA data;
  WSAStartup(0x0101, &data);
}
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
using Handle = int;
using AddressLength = socklen_t;
constexpr Handle kNoSocket = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;
static void CloseSocket(Handle h) { close(h); }
static void SetNonBlocking(Handle h) { fcntl(h, F_SETFL, fcntl(h, F_GETFL) | O_NONBLOCK); }
static bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }
static void StartSockets() {}
#endif

namespace {

constexpr int kWaitSliceMs = 20;     // how often a wait looks at the stop flag
constexpr int kStepLimitMs = 10000;  // no progress for this long fails the step

Handle H(intptr_t h) { return static_cast<Handle>(h); }

// The system's record of an address literal and a port; its length, 0 for
// a text that is no literal.
AddressLength Record(const char* text, uint16_t port, sockaddr_in6* record) {
  platform::NetAddress address;
  if (!WexlParseIpLiteral(text, &address)) return 0;
  memset(record, 0, sizeof *record);
  if (address.family == 6) {
    record->sin6_family = AF_INET6;
    record->sin6_port = htons(port);
    memcpy(&record->sin6_addr, address.bytes, 16);
    return sizeof *record;
  }
  auto* in = reinterpret_cast<sockaddr_in*>(record);
  in->sin_family = AF_INET;
  in->sin_port = htons(port);
  memcpy(&in->sin_addr, address.bytes, 4);
  return sizeof *in;
}

// A socket bound to a loopback address on `*port` (0: one the system
// chooses); the port bound in `port`.
Handle BindTo(const char* text, uint16_t* port) {
  StartSockets();
  sockaddr_in6 record;  // room for either family
  const AddressLength used = Record(text, *port, &record);
  if (used == 0) return kNoSocket;
  Handle h = socket(record.sin6_family, SOCK_STREAM, IPPROTO_TCP);
  if (h == kNoSocket) return h;
  auto* a = reinterpret_cast<sockaddr*>(&record);
  AddressLength length = sizeof record;
  if (bind(h, a, used) != 0 || getsockname(h, a, &length) != 0) {
    CloseSocket(h);
    return kNoSocket;
  }
  *port = ntohs(record.sin6_port);  // the port lies at the same place in both records
  return h;
}

Handle BindLoopback(uint16_t* port) {
  *port = 0;
  return BindTo("127.0.0.1", port);
}

// A blocking connect of a new socket to an address literal and port.
Handle ConnectTo(const char* text, uint16_t port, bool nonBlocking) {
  sockaddr_in6 record;
  const AddressLength used = Record(text, port, &record);
  Handle h = used == 0 ? kNoSocket : socket(record.sin6_family, SOCK_STREAM, IPPROTO_TCP);
  if (h == kNoSocket) return h;
  if (nonBlocking) SetNonBlocking(h);
  if (connect(h, reinterpret_cast<sockaddr*>(&record), used) != 0 && !nonBlocking) {
    CloseSocket(h);
    return kNoSocket;
  }
  return h;
}

// Whether a connect under way on `h` completes within `ms`.
bool Completes(Handle h, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(h, &set);
  timeval limit{0, ms * 1000};
  return select(static_cast<int>(h) + 1, nullptr, &set, nullptr, &limit) > 0;
}

void SleepFor(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls a condition every millisecond until it holds (true) or the limit passes.
template <typename Condition>
bool PollFor(int limitMs, Condition holds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!holds()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    SleepFor(1);
  }
  return true;
}

}  // namespace

uint16_t UnusedLoopbackPort() {
  uint16_t port = 0;
  Handle h = BindLoopback(&port);
  if (h != kNoSocket) CloseSocket(h);
  return port;
}

bool HasIpv6Loopback() {
  static const bool has = [] {
    LoopbackServer server("::1");
    if (!server.Listening()) return false;
    Handle client = ConnectTo("::1", server.Port(), false);
    if (client == kNoSocket) return false;
    CloseSocket(client);
    return true;
  }();
  return has;
}

StalledServer::StalledServer(const char* address, uint16_t port)
    : listener_(static_cast<intptr_t>(kNoSocket)), port_(port) {
  Handle h = BindTo(address, &port_);
  if (h == kNoSocket) return;
  listener_ = static_cast<intptr_t>(h);
  if (listen(h, 1) != 0) return;
  // Connects the server never accepts fill its queue; the first that does
  // not complete shows that the next ones will not either.
  for (int queued = 0; queued < 24 && !ready_; ++queued) {
    Handle client = ConnectTo(address, port_, true);
    if (client == kNoSocket) return;
    if (Completes(client, 50)) {
      queued_.push_back(static_cast<intptr_t>(client));
    } else {
      ready_ = true;
      CloseSocket(client);
    }
  }
}

StalledServer::~StalledServer() {
  for (intptr_t client : queued_) CloseSocket(H(client));
  if (H(listener_) != kNoSocket) CloseSocket(H(listener_));
}

LoopbackServer::LoopbackServer() : LoopbackServer("127.0.0.1") {}

bool LoopbackServer::Listening() const { return H(listener_) != kNoSocket; }

LoopbackServer::LoopbackServer(const char* address, uint16_t port)
    : listener_(static_cast<intptr_t>(kNoSocket)), connection_(listener_), port_(port) {
  Handle h = BindTo(address, &port_);
  if (h != kNoSocket && listen(h, 8) == 0) {
    SetNonBlocking(h);
    listener_ = static_cast<intptr_t>(h);
  } else if (h != kNoSocket) {
    CloseSocket(h);
  }
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  EndConnection(false);
  if (H(listener_) != kNoSocket) CloseSocket(H(listener_));
}

LoopbackServer& LoopbackServer::Add(Kind kind, const std::string& bytes, size_t count, int ms) {
  steps_.push_back(Step{kind, bytes, count, ms});
  return *this;
}

LoopbackServer& LoopbackServer::Send(const std::string& bytes) { return Add(Kind::kSend, bytes, 1, 0); }
LoopbackServer& LoopbackServer::SendSlowly(const std::string& bytes, int gapMs) {
  return Add(Kind::kSendSlowly, bytes, 0, gapMs);
}
LoopbackServer& LoopbackServer::SendRepeated(const std::string& bytes, size_t times) {
  return Add(Kind::kSend, bytes, times, 0);
}
LoopbackServer& LoopbackServer::ReadLine() { return ReadThrough("\n"); }
LoopbackServer& LoopbackServer::ReadThrough(const std::string& end) { return Add(Kind::kReadThrough, end, 0, 0); }
LoopbackServer& LoopbackServer::ReadBytes(size_t count) { return Add(Kind::kReadBytes, "", count, 0); }
LoopbackServer& LoopbackServer::Swallow(size_t count) { return Add(Kind::kSwallow, "", count, 0); }
LoopbackServer& LoopbackServer::Pause(int ms) { return Add(Kind::kPause, "", 0, ms); }
LoopbackServer& LoopbackServer::Hold() { return Add(Kind::kHold, "", 0, 0); }
LoopbackServer& LoopbackServer::Close() { return Add(Kind::kClose, "", 0, 0); }
LoopbackServer& LoopbackServer::Reset() { return Add(Kind::kReset, "", 0, 0); }
LoopbackServer& LoopbackServer::StartTls() { return Add(Kind::kStartTls, "", 0, 0); }
LoopbackServer& LoopbackServer::SendTicket() { return Add(Kind::kSendTicket, "", 0, 0); }
LoopbackServer& LoopbackServer::SendCut(const std::string& bytes, size_t keep) {
  return Add(Kind::kSendCut, bytes, keep, 0);
}

void LoopbackServer::Start() {
  thread_ = std::thread([this] { Play(); });
}

bool LoopbackServer::WaitScript(int limitMs) {
  return PollFor(limitMs, [this] { return scriptDone_.load(); }) && !failed_;
}

bool LoopbackServer::WaitReceived(size_t count, int limitMs) {
  return PollFor(limitMs, [this, count] {
    std::lock_guard<std::mutex> hold(mutex_);
    return received_.size() >= count;
  });
}

std::string LoopbackServer::Received() {
  std::lock_guard<std::mutex> hold(mutex_);
  return received_;
}

void LoopbackServer::Play() {
  bool ok = Accept();
  for (const Step& step : steps_) {
    if (!ok || stop_) break;
    if (H(connection_) == kNoSocket) ok = Accept();
    ok = ok && Run(step);
  }
  failed_ = !ok;
  scriptDone_ = true;
  // Record the rest until the client closes or the server is destroyed.
  while (ok && H(connection_) != kNoSocket && !stop_ && ReceiveMore(true)) {
  }
}

bool LoopbackServer::Run(const Step& step) {
  switch (step.kind) {
    case Kind::kSend:
      for (size_t i = 0; i < step.count; ++i) {
        if (!SendAll(step.bytes.data(), step.bytes.size())) return false;
      }
      return true;
    case Kind::kSendSlowly:
      for (char byte : step.bytes) {
        if (!SendAll(&byte, 1)) return false;
        SleepFor(step.ms);
      }
      return true;
    case Kind::kReadThrough:
      for (;;) {
        {
          std::lock_guard<std::mutex> hold(mutex_);
          size_t at = received_.find(step.bytes, scanned_);
          if (at != std::string::npos) {
            scanned_ = at + step.bytes.size();
            return true;
          }
        }
        if (!ReceiveMore(true)) return false;
      }
    case Kind::kReadBytes:
      for (;;) {
        {
          std::lock_guard<std::mutex> hold(mutex_);
          if (received_.size() - scanned_ >= step.count) {
            scanned_ += step.count;
            return true;
          }
        }
        if (!ReceiveMore(true)) return false;
      }
    case Kind::kSwallow:
      while (swallowed_ < step.count) {
        if (!ReceiveMore(false)) return false;
      }
      return true;
    case Kind::kHold:
      for (int waited = 0; waited < kStepLimitMs && !stop_ && !released_; waited += 10) SleepFor(10);
      return released_;
    case Kind::kPause:
      // In slices, so that a server destroyed during its pause ends at once.
      for (int left = step.ms; left > 0 && !stop_; left -= 10) SleepFor(left < 10 ? left : 10);
      return true;
    case Kind::kClose:
    case Kind::kReset:
      EndConnection(step.kind == Kind::kReset);
      return true;
    case Kind::kStartTls:
    case Kind::kSendTicket:
    case Kind::kSendCut:
      return RunTls(step);
  }
  return false;
}

bool LoopbackServer::RunTls(const Step& step) {
  if (!tls_) return false;
  switch (step.kind) {
    case Kind::kStartTls:
      return Handshake();
    case Kind::kSendTicket:
      return tlsOn_ && tls_->QueueTicket() && FlushTls(SIZE_MAX);
    default:
      if (!tlsOn_ || !tls_->Write(step.bytes.data(), step.bytes.size()) || !FlushTls(step.count)) return false;
      // The rest of the record never goes: the connection goes on in plain bytes.
      tls_->Detach();
      tlsOn_ = false;
      return true;
  }
}

bool LoopbackServer::Handshake() {
  if (!tls_->Attach(connection_)) return false;
  tlsOn_ = true;
  for (;;) {
    const int rc = tls_->Handshake();
    if (!FlushTls(SIZE_MAX)) return false;
    if (rc == 1) return true;
    if (rc != ServerTls::kWantRead && rc != ServerTls::kWantWrite) return false;
    if (!WaitReady(connection_, rc == ServerTls::kWantWrite)) return false;
  }
}

bool LoopbackServer::FlushTls(size_t most) {
  for (;;) {
    const int rc = tls_->Flush(most);
    if (rc == 1) return true;
    if (rc != ServerTls::kWantWrite || !WaitReady(connection_, true)) return false;
  }
}

bool LoopbackServer::Accept() {
  if (!WaitReady(listener_, false)) return false;
  Handle h = accept(H(listener_), nullptr, nullptr);
  if (h == kNoSocket) return false;
  SetNonBlocking(h);
  int on = 1;
  setsockopt(h, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  connection_ = static_cast<intptr_t>(h);
  return true;
}

bool LoopbackServer::WaitReady(intptr_t handle, bool write) {
  for (int waited = 0; waited < kStepLimitMs && !stop_; waited += kWaitSliceMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(H(handle), &set);
    timeval slice{0, kWaitSliceMs * 1000};
    int n = select(static_cast<int>(H(handle)) + 1, write ? nullptr : &set, write ? &set : nullptr, nullptr, &slice);
    if (n > 0) return true;
  }
  return false;
}

bool LoopbackServer::SendAll(const char* data, size_t length) {
  if (tlsOn_) return tls_->Write(data, length) && FlushTls(SIZE_MAX);
  while (length > 0) {
    if (!WaitReady(connection_, true)) return false;
    int n = send(H(connection_), data, static_cast<int>(length), kSendFlags);
    if (n < 0 && WouldBlock()) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// Some bytes from the client (decrypted on a TLS connection): their count, 0
// when the client closed or reset the connection, -1 when none came in time.
int LoopbackServer::ReceiveSome(char* buffer, size_t length) {
  for (;;) {
    if (tlsOn_) {
      const int n = tls_->Read(buffer, length);
      if (n == 0) clientNotified_ = true;
      if (n >= 0) return n;
      if (n == ServerTls::kFailed) return 0;
      if (!WaitReady(connection_, n == ServerTls::kWantWrite)) return -1;
      continue;
    }
    if (!WaitReady(connection_, false)) return -1;
    int n = recv(H(connection_), buffer, static_cast<int>(length), 0);
    if (n < 0 && WouldBlock()) continue;
    return n < 0 ? 0 : n;
  }
}

bool LoopbackServer::ReceiveMore(bool record) {
  char chunk[16384];
  const int n = ReceiveSome(chunk, sizeof chunk);
  if (n < 0) return false;
  if (n == 0) {
    EndConnection(false);  // the client closed or reset the connection
    return false;
  }
  if (record) {
    std::lock_guard<std::mutex> hold(mutex_);
    received_.append(chunk, static_cast<size_t>(n));
  } else {
    swallowed_ += static_cast<size_t>(n);
  }
  return true;
}

void LoopbackServer::EndConnection(bool reset) {
  if (H(connection_) == kNoSocket) return;
  if (tlsOn_) {
    if (!reset) {
      tls_->Shutdown();
      tls_->Flush(SIZE_MAX);  // once, without waiting
    }
    tls_->Detach();
    tlsOn_ = false;
  }
  if (reset) {
    linger off{1, 0};
    setsockopt(H(connection_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off);
  }
  CloseSocket(H(connection_));
  connection_ = static_cast<intptr_t>(kNoSocket);
}
