// Win32 side of the TCP primitives: Windows Sockets 1.1 (wsock32.dll). The
// Windows Sockets 2 headers serve for the IPv6 address records only: every
// call goes through wsock32.dll as before, except getaddrinfo and
// freeaddrinfo, which ws2_32.dll has and wsock32.dll lacks. Those two are
// found at run time, so that the import table names wsock32.dll alone and
// the library still loads on a system without them.
#include <winsock2.h>
#include <ws2tcpip.h>
// after the sockets headers, which must come first
#include <windows.h>

#include <cstring>

#include "platform/socket_records.h"
#include "platform/sockets.h"
#include "platform/syscall_count.h"

namespace platform {
namespace {

// The bit of a readiness kind in the results of SelectSets.
unsigned Bit(ReadyKind kind) { return 1u << (kind - kReadable); }

// One select() on the socket in the sets that `asked` names (Bit() values),
// waiting up to waitMs milliseconds: the sets that hold the socket afterwards,
// 0 when none does or select failed (a failed select leaves them as they were).
unsigned SelectSets(SOCKET s, unsigned asked, uint32_t waitMs) {
  fd_set sets[3];
  fd_set* used[3];
  for (int i = 0; i < 3; ++i) {
    FD_ZERO(&sets[i]);
    FD_SET(s, &sets[i]);
    used[i] = (asked & (1u << i)) != 0 ? &sets[i] : nullptr;
  }
  timeval limit{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000L};
  KOV_COUNT_SYSCALL();
  if (select(0, used[0], used[1], used[2], &limit) <= 0) return 0;  // the first argument is ignored
  unsigned found = 0;
  for (int i = 0; i < 3; ++i) {
    if (used[i] != nullptr && __WSAFDIsSet(s, used[i]) != 0) found |= 1u << i;
  }
  return found;
}

// The error number a failed connect left on the socket; 0 when it has none.
int ConnectError(SOCKET s) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) return WSAGetLastError();
  return error;
}

// getaddrinfo and freeaddrinfo of ws2_32.dll, or null where it has none.
struct Resolver {
  decltype(&getaddrinfo) find = nullptr;
  decltype(&freeaddrinfo) release = nullptr;
  Resolver() {
    HMODULE ws2 = LoadLibraryA("ws2_32.dll");
    if (ws2 == nullptr) return;
    find = reinterpret_cast<decltype(&getaddrinfo)>(reinterpret_cast<void*>(GetProcAddress(ws2, "getaddrinfo")));
    release = reinterpret_cast<decltype(&freeaddrinfo)>(reinterpret_cast<void*>(GetProcAddress(ws2, "freeaddrinfo")));
    if (find == nullptr || release == nullptr) find = nullptr;
  }
};

const Resolver& SystemResolver() {
  static const Resolver resolver;
  return resolver;
}

// The IPv4 answers of gethostbyname, for a system without getaddrinfo.
int ResolveIpv4Only(const char* name, bool wantIpv4, NetAddress* out, int capacity, int* count) {
  hostent* entry = gethostbyname(name);
  if (entry == nullptr) return WSAGetLastError();
  if (entry->h_addrtype != AF_INET || entry->h_length != 4) return 0;
  for (char** a = entry->h_addr_list; *a != nullptr; ++a) {
    sockaddr_in record;
    memset(&record, 0, sizeof record);
    record.sin_family = AF_INET;
    memcpy(&record.sin_addr, *a, 4);
    Gather(reinterpret_cast<const sockaddr*>(&record), wantIpv4, false, out, capacity, count);
  }
  return 0;
}

}  // namespace

int NetStartup(char* description, size_t size) {
  WSADATA data;
  int rc = WSAStartup(0x0101, &data);
  if (rc != 0) return rc;
  if (description != nullptr && size > 0) {
    size_t n = strnlen(data.szDescription, sizeof data.szDescription);
    if (n > size - 1) n = size - 1;
    memcpy(description, data.szDescription, n);
    description[n] = '\0';
  }
  return 0;
}

bool NetIsBlocking() { return WSAIsBlocking() != FALSE; }

int NetLastError() { return WSAGetLastError(); }

int NetLookupHost(const char* name, uint8_t address[4]) {
  hostent* entry = gethostbyname(name);
  if (entry == nullptr) return WSAGetLastError();
  if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list[0] == nullptr) {
    WSASetLastError(11004);
    return 11004;
  }
  memcpy(address, entry->h_addr_list[0], 4);
  return 0;
}

int NetResolveAll(const char* name, bool wantIpv4, bool wantIpv6, NetAddress* out, int capacity, int* count) {
  *count = 0;
  const Resolver& resolver = SystemResolver();
  if (resolver.find == nullptr) return ResolveIpv4Only(name, wantIpv4, out, capacity, count);
  addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int rc = resolver.find(name, nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    const int error = rc != 0 ? rc : 11004;
    WSASetLastError(error);
    return error;
  }
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    Gather(a->ai_addr, wantIpv4, wantIpv6, out, capacity, count);
  }
  resolver.release(found);
  return 0;
}

int SocketOpenTcp(int family) {
  SOCKET s = socket(family == 6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return -1;
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<int>(s);
}

int SocketConnect(int socket, const NetAddress& address, uint16_t port) {
  const SOCKET s = static_cast<SOCKET>(socket);
  sockaddr_in6 peer;  // room for either family
  const int peerLength = PeerRecord(address, port, &peer);
  // The connect only starts here, so that a server that never answers cannot
  // hold the caller. The socket stays non-blocking: a send takes only what the
  // system has room for, and a receive follows a readiness test.
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return WSAGetLastError();
  int error = connect(s, reinterpret_cast<const sockaddr*>(&peer), peerLength) == 0 ? 0 : WSAGetLastError();
  if (error == WSAEWOULDBLOCK) {
    // A connect to this host is often decided already (a refusal on the
    // loopback may be): report that outcome as a blocking connect would.
    const unsigned found = SelectSets(s, Bit(kWritable) | Bit(kException), 0);
    if ((found & Bit(kException)) != 0) {
      error = ConnectError(s);
    } else if ((found & Bit(kWritable)) != 0) {
      error = 0;
    }
  }
  if (error != 0) WSASetLastError(error);
  return error;
}

int SocketConnectState(int socket) {
  const SOCKET s = static_cast<SOCKET>(socket);
  const unsigned found = SelectSets(s, Bit(kWritable) | Bit(kException), 0);
  if ((found & Bit(kException)) != 0) {
    const int error = ConnectError(s);
    return error != 0 ? error : WSAENOTCONN;  // its number was read before: "not connected"
  }
  return (found & Bit(kWritable)) != 0 ? 0 : WSAEWOULDBLOCK;
}

bool SocketsAwaitConnect(const int* sockets, int count, uint32_t waitMs) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (int i = 0; i < count && i < FD_SETSIZE; ++i) {
    FD_SET(static_cast<SOCKET>(sockets[i]), &writable);
    FD_SET(static_cast<SOCKET>(sockets[i]), &failed);
  }
  timeval limit{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000L};
  KOV_COUNT_SYSCALL();
  return select(0, nullptr, &writable, &failed, &limit) > 0;
}

bool SocketReady(int socket, ReadyKind kind, uint32_t waitMs) {
  const SOCKET s = static_cast<SOCKET>(socket);
  if (kind != kWritable) return SelectSets(s, Bit(kind), waitMs) != 0;
  // A failed connect shows only as an exception: a wait for writability
  // watches for that too, so that it ends with the failure.
  const DWORD start = GetTickCount();
  const unsigned found = SelectSets(s, Bit(kWritable) | Bit(kException), waitMs);
  if ((found & Bit(kWritable)) != 0) return true;
  if (found == 0 || ConnectError(s) != 0) return false;
  // Urgent data, not a failed connect: wait for writability alone for the rest of the time.
  const DWORD spent = GetTickCount() - start;
  return spent < waitMs && SelectSets(s, Bit(kWritable), waitMs - spent) != 0;
}

int SocketSend(int socket, const void* buffer, int length) {
  const SOCKET s = static_cast<SOCKET>(socket);
  KOV_COUNT_SYSCALL();
  int n = send(s, static_cast<const char*>(buffer), length, 0);
  if (n >= 0) return n;
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK) return 0;
  // A connect still under way refuses the send; it takes nothing yet.
  if (error == WSAENOTCONN && SelectSets(s, Bit(kWritable) | Bit(kException), 0) == 0) return 0;
  WSASetLastError(error);
  return -1;
}

int SocketReceive(int socket, void* buffer, int length) {
  KOV_COUNT_SYSCALL();
  return recv(static_cast<SOCKET>(socket), static_cast<char*>(buffer), length, 0);
}

void SocketSetLinger(int socket, uint16_t seconds) {
  linger l;
  l.l_onoff = seconds > 0 ? 1 : 0;
  l.l_linger = seconds;
  setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
}

int SocketClose(int socket) {
  const SOCKET s = static_cast<SOCKET>(socket);
  // A non-blocking socket would refuse to linger: the close blocks as it always did.
  u_long blocking = 0;
  ioctlsocket(s, FIONBIO, &blocking);
  return closesocket(s) == 0 ? 0 : -1;
}

bool SocketLocalAddress(int socket, NetAddress* address) {
  sockaddr_in6 local;  // room for either family
  int length = sizeof local;
  if (getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return false;
  return AddressOf(reinterpret_cast<const sockaddr*>(&local), address);
}

}  // namespace platform
