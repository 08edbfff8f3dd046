// POSIX side of the TCP primitives. errno and resolver codes are turned into
// the Windows Sockets numbers the engine's error table knows.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix_handles.h"
#include "platform/socket_records.h"
#include "platform/sockets.h"
#include "platform/syscall_count.h"

namespace platform {
namespace {

thread_local int lastError = 0;
constexpr int kWouldBlock = 10035;  // a connect that is still in progress

struct ErrnoMap {
  int errnoValue;
  int wsaValue;
};

const ErrnoMap kErrnoMap[] = {
    {EINTR, 10004},           {EBADF, 10009},         {EACCES, 10013},       {EFAULT, 10014},
    {EINVAL, 10022},          {EMFILE, 10024},        {ENFILE, 10024},       {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},     {EALREADY, 10037},      {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},     {ENETUNREACH, 10051},
    {ENETRESET, 10052},       {ECONNABORTED, 10053},  {ECONNRESET, 10054},   {EPIPE, 10054},
    {ENOBUFS, 10055},         {EISCONN, 10056},       {ENOTCONN, 10057},     {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061}, {ELOOP, 10062},
    {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
};

// Records the current errno as the thread's last sockets error.
void KeepErrno() {
  int e = errno;
  lastError = 10000 + e;  // an errno the table does not know keeps its own number above 10000
  for (const ErrnoMap& m : kErrnoMap) {
    if (m.errnoValue == e) {
      lastError = m.wsaValue;
      break;
    }
  }
}

// What select() of Windows Sockets knows about a socket and poll() does not:
// whether it ever connected. A socket that has not connected is neither
// readable nor writable, and one whose connect failed shows an exception
// condition; poll() reports both as hung up and writable. Tracked for the
// descriptors below kTrackedSockets; any other counts as connected.
enum Link : uint8_t { kConnected = 0, kUnconnected, kConnecting, kConnectFailed };
constexpr int kTrackedSockets = 4096;
std::atomic<uint8_t> links[kTrackedSockets];
// The error number of a failed connect, kept for SocketConnectState: the
// system reports it once only.
std::atomic<uint16_t> linkErrors[kTrackedSockets];

void SetLink(int socket, Link link) {
  if (socket >= 0 && socket < kTrackedSockets) links[socket].store(link, std::memory_order_relaxed);
}

// Records a failed connect with the thread's last error as its error number.
void MarkFailed(int socket) {
  SetLink(socket, kConnectFailed);
  if (socket >= 0 && socket < kTrackedSockets) {
    linkErrors[socket].store(static_cast<uint16_t>(lastError), std::memory_order_relaxed);
  }
}

Link LinkOf(int socket) {
  if (socket < 0 || socket >= kTrackedSockets) return kConnected;
  return static_cast<Link>(links[socket].load(std::memory_order_relaxed));
}

// poll() of `count` descriptors for up to waitMs, started again after a
// signal; its result.
int PollFor(pollfd* p, int count, uint32_t waitMs) {
  int timeout = waitMs > 0x7fffffffu ? 0x7fffffff : static_cast<int>(waitMs);
  int rc;
  do {
    KOV_COUNT_SYSCALL();
    rc = poll(p, static_cast<nfds_t>(count), timeout);
  } while (rc < 0 && errno == EINTR);
  return rc;
}

// Waits up to waitMs for a connect in progress to end and records how it
// ended: connected, failed (its error number becomes the thread's last
// error), or still connecting when the time ran out.
Link SettleConnect(int socket, uint32_t waitMs) {
  pollfd p{socket, POLLOUT, 0};
  if (PollFor(&p, 1, waitMs) <= 0) return kConnecting;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  // A reset during the handshake reads as a refusal (ECONNREFUSED); a reset
  // or a broken pipe means the connection was made and already lost, which
  // the next receive (peer closed) or send (reset) reports.
  if (error == 0 || error == ECONNRESET || error == EPIPE) {
    SetLink(socket, kConnected);
    return kConnected;
  }
  errno = error;
  KeepErrno();
  MarkFailed(socket);
  return kConnectFailed;
}

// Switches O_NONBLOCK on or off; false (errno set) when the flags cannot be changed.
bool SetNonBlocking(int socket, bool on) {
  int flags = fcntl(socket, F_GETFL);
  if (flags < 0) return false;
  flags = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
  return fcntl(socket, F_SETFL, flags) == 0;
}

int ResolverError(int gaiResult) {
  switch (gaiResult) {
    case EAI_AGAIN:
      return 11002;
    case EAI_FAIL:
      return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return 11004;
#endif
    case EAI_SYSTEM:
      KeepErrno();
      return lastError;
    default:
      return 11001;
  }
}

// getaddrinfo for TCP addresses of the family (AF_INET, AF_UNSPEC): 0 with
// the answers in `found` (for freeaddrinfo), or the error number.
int LookUp(const char* name, int family, addrinfo** found) {
  addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  *found = nullptr;
  int rc = getaddrinfo(name, nullptr, &hints, found);
  if (rc == 0 && *found != nullptr) return 0;
  lastError = rc != 0 ? ResolverError(rc) : 11004;
  return lastError;
}

}  // namespace

int NetStartup(char* description, size_t size) {
  static const char kDescription[] = "POSIX sockets (KOV32 platform layer)";
  if (description != nullptr && size > 0) {
    size_t n = strnlen(kDescription, size - 1);
    memcpy(description, kDescription, n);
    description[n] = '\0';
  }
  return 0;
}

bool NetIsBlocking() { return false; }

int NetLastError() { return lastError; }

int NetLookupHost(const char* name, uint8_t address[4]) {
  addrinfo* found = nullptr;
  if (LookUp(name, AF_INET, &found) != 0) return lastError;
  const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  memcpy(address, &in->sin_addr.s_addr, 4);
  freeaddrinfo(found);
  return 0;
}

int NetResolveAll(const char* name, bool wantIpv4, bool wantIpv6, NetAddress* out, int capacity, int* count) {
  *count = 0;
  addrinfo* found = nullptr;
  if (LookUp(name, AF_UNSPEC, &found) != 0) return lastError;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    Gather(a->ai_addr, wantIpv4, wantIpv6, out, capacity, count);
  }
  freeaddrinfo(found);
  return 0;
}

int SocketOpenTcp(int family) {
  const int domain = family == 6 ? AF_INET6 : AF_INET;
  int fd = KeepAboveOne(socket(domain, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
  if (fd < 0) {
    KeepErrno();
    return fd;
  }
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  SetLink(fd, kUnconnected);
  return fd;
}

int SocketConnect(int socket, const NetAddress& address, uint16_t port) {
  sockaddr_in6 peer;  // room for either family
  const socklen_t peerLength = static_cast<socklen_t>(PeerRecord(address, port, &peer));
  // The connect only starts here, so that a server that never answers cannot
  // hold the caller; sends and receives block again as before.
  if (!SetNonBlocking(socket, true)) {
    KeepErrno();
    return lastError;
  }
  int rc = connect(socket, reinterpret_cast<const sockaddr*>(&peer), peerLength);
  int connectErrno = errno;
  if (!SetNonBlocking(socket, false)) {
    KeepErrno();
    MarkFailed(socket);
    return lastError;
  }
  if (rc == 0) {
    SetLink(socket, kConnected);
    return 0;
  }
  if (connectErrno == EINPROGRESS || connectErrno == EINTR) {  // after EINTR the connect goes on too
    // A connect to this host is often decided already (a refusal on the
    // loopback always is): report that outcome as a blocking connect would.
    SetLink(socket, kConnecting);
    switch (SettleConnect(socket, 0)) {
      case kConnected:
        return 0;
      case kConnectFailed:
        return lastError;
      default:
        lastError = kWouldBlock;
        return lastError;
    }
  }
  errno = connectErrno;
  KeepErrno();
  // A second connect leaves the first one standing, finished or not.
  if (connectErrno != EISCONN && connectErrno != EALREADY) MarkFailed(socket);
  return lastError;
}

int SocketConnectState(int socket) {
  Link link = LinkOf(socket);
  if (link == kConnecting) link = SettleConnect(socket, 0);
  if (link == kConnected) return 0;
  if (link != kConnectFailed) return kWouldBlock;
  const uint16_t error = linkErrors[socket].load(std::memory_order_relaxed);
  return error != 0 ? error : 10057;  // failed before the error was kept: "not connected"
}

bool SocketsAwaitConnect(const int* sockets, int count, uint32_t waitMs) {
  constexpr int kMost = 16;
  pollfd p[kMost];
  const int n = count < kMost ? count : kMost;
  for (int i = 0; i < n; ++i) p[i] = pollfd{sockets[i], POLLOUT, 0};
  return PollFor(p, n, waitMs) > 0;
}

bool SocketReady(int socket, ReadyKind kind, uint32_t waitMs) {
  Link link = LinkOf(socket);
  if (link == kConnecting) {
    const uint32_t start = TickCount();
    link = SettleConnect(socket, waitMs);
    const uint32_t spent = TickCount() - start;
    waitMs = spent < waitMs ? waitMs - spent : 0;
  }
  // A failed connect is final: it is an exception and never becomes writable.
  if (link == kConnectFailed && kind != kReadable) return kind == kException;
  if (link != kConnected) {
    if (waitMs > 0) SleepMs(waitMs);  // nothing will change: the wait runs out, as select's would
    return false;
  }
  pollfd p{socket, 0, 0};
  p.events = kind == kReadable ? POLLIN : kind == kWritable ? POLLOUT : POLLPRI;
  if (PollFor(&p, 1, waitMs) <= 0) return false;
  switch (kind) {
    case kReadable:  // a closed or reset connection reads as ready: receive then reports it
      return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    case kWritable:  // also after a reset: the send then reports it
      return (p.revents & POLLOUT) != 0;
    default:  // urgent data; a failed connect is known from the link
      return (p.revents & POLLPRI) != 0;
  }
}

int SocketSend(int socket, const void* buffer, int length) {
  ssize_t n;
  do {
    KOV_COUNT_SYSCALL();
    n = send(socket, buffer, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n >= 0) return static_cast<int>(n);
  if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;  // no room now, or still connecting
  KeepErrno();
  return -1;
}

int SocketReceive(int socket, void* buffer, int length) {
  ssize_t n;
  do {
    KOV_COUNT_SYSCALL();
    n = recv(socket, buffer, static_cast<size_t>(length), 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) KeepErrno();
  return static_cast<int>(n);
}

void SocketSetLinger(int socket, uint16_t seconds) {
  linger l{seconds > 0 ? 1 : 0, seconds};
  setsockopt(socket, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int SocketClose(int socket) {
  SetLink(socket, kConnected);
  if (close(socket) == 0) return 0;
  KeepErrno();
  return -1;
}

bool SocketLocalAddress(int socket, NetAddress* address) {
  sockaddr_in6 local;  // room for either family
  socklen_t length = sizeof local;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    KeepErrno();
    return false;
  }
  return AddressOf(reinterpret_cast<const sockaddr*>(&local), address);
}

}  // namespace platform
