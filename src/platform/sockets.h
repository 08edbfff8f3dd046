// TCP primitives of the platform layer. Every error is reported as a Windows
// Sockets error number (10061 for a refused connection, 11001 for an unknown
// host, ...) on every system, so that the engine's codes and texts match.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// An IPv4 or IPv6 address. `family` is 4 or 6 (0: none yet, read as the IPv4
// address 0.0.0.0); `bytes` hold the address in network order, an IPv4
// address in the first four; `scope` is an IPv6 zone (the interface index of
// a link-local address), 0 for none.
struct NetAddress {
  uint8_t family;
  uint8_t bytes[16];
  uint32_t scope;
};

// The IPv4 address of a value in host byte order, and back (0 for an IPv6
// address).
inline NetAddress Ipv4Address(uint32_t hostOrder) {
  NetAddress a{4, {}, 0};
  for (int i = 0; i < 4; ++i) a.bytes[i] = static_cast<uint8_t>(hostOrder >> (24 - 8 * i));
  return a;
}
inline uint32_t Ipv4Of(const NetAddress& a) {
  if (a.family == 6) return 0;
  return static_cast<uint32_t>(a.bytes[0]) << 24 | static_cast<uint32_t>(a.bytes[1]) << 16 |
         static_cast<uint32_t>(a.bytes[2]) << 8 | a.bytes[3];
}

inline bool SameAddress(const NetAddress& a, const NetAddress& b) {
  if (a.family != b.family || a.scope != b.scope) return false;
  for (int i = 0; i < 16; ++i) {
    if (a.bytes[i] != b.bytes[i]) return false;
  }
  return true;
}

// Starts the sockets library (version 1.1). Returns 0 or the start-up error
// number; on success copies the library's description into `description`.
int NetStartup(char* description, size_t size);
// Whether a blocking call of the sockets library is in progress on this thread.
bool NetIsBlocking();
// The calling thread's last sockets error, as a Windows Sockets number.
int NetLastError();

// Looks up a host name; on success stores the first IPv4 address as its four
// bytes in network order and returns 0, otherwise the error number (11001 ...).
int NetLookupHost(const char* name, uint8_t address[4]);

// Looks a host name up with the system's resolver (getaddrinfo; on Windows
// the one of ws2_32.dll, found at run time, or gethostbyname's IPv4 answers
// where the system has none) and stores up to `capacity` of its addresses of
// the wanted families in `out`, in the resolver's order, each once; `*count`
// gets how many. Returns 0 (also with a count of 0: the name has addresses,
// but none of the wanted families) or the error number (11001 ...).
int NetResolveAll(const char* name, bool wantIpv4, bool wantIpv6, NetAddress* out, int capacity, int* count);

// A TCP socket of the family (4 or 6) with Nagle's delay off: the engine
// gathers its writes itself, so what it hands over is meant to leave at once.
// Valid handles are always 2 or above; -1 on failure.
int SocketOpenTcp(int family = 4);
// Starts a connect to an address (of the socket's family) and a port given in
// host byte order without waiting for the server. A connect already decided when it returns
// gives 0 or its error number (10061 for a refused connect on this host); one
// still in progress
// gives 10035 ("would block"): SocketReady() then reports it as writable once
// connected, or as an exception once failed. An error number is also left
// in NetLastError().
int SocketConnect(int socket, const NetAddress& address, uint16_t port);
// How a connect that SocketConnect started stands now, without waiting: 0
// connected, 10035 still under way, or the error number of its failure.
int SocketConnectState(int socket);
// Waits up to `waitMs` milliseconds until the connect under way on one of
// the `count` sockets has ended, connected or failed: true when one has.
bool SocketsAwaitConnect(const int* sockets, int count, uint32_t waitMs);

enum ReadyKind { kReadable = 1, kWritable = 2, kException = 3 };
// Whether the socket is ready in the given way within `waitMs` milliseconds
// (0 polls once without waiting). A connect that failed reports as an
// exception on both systems and never as writable, and a wait for
// writability ends when the connect fails; a socket that has not connected is
// neither readable nor writable; after the peer reset the connection it is
// readable and writable (receive and send report the reset).
bool SocketReady(int socket, ReadyKind kind, uint32_t waitMs);

// Hands the system as many bytes as it takes now, without waiting for room:
// the count taken, 0 when it has no room yet (or the connect is still under
// way), -1 for a failure whose number NetLastError() gives.
int SocketSend(int socket, const void* buffer, int length);
// Bytes received (call it once the socket is readable); 0 means the peer
// closed the connection; -1 is a failure whose number NetLastError() gives.
int SocketReceive(int socket, void* buffer, int length);

// SO_LINGER on with the given time, or off for 0 (the close then returns at
// once and the system finishes sending in the background); result not
// needed by the engine.
void SocketSetLinger(int socket, uint16_t seconds);
// 0, or -1 with the number in NetLastError().
int SocketClose(int socket);
// The socket's local address; false when unknown.
bool SocketLocalAddress(int socket, NetAddress* address);

}  // namespace platform
