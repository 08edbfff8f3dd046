// TCP primitives of the platform layer. Every error is reported as a Windows
// Sockets error number (10061 for a refused connection, 11001 for an unknown
// host, ...) on every system, so that the engine's codes and texts match.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

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

// A TCP socket with Nagle's delay off: the engine gathers its writes itself,
// so what it hands over is meant to leave at once. Valid handles are always 2
// or above; -1 on failure.
int SocketOpenTcp();
// Starts a connect to an IPv4 address and port given in host byte order
// without waiting for the server. A connect already decided when it returns
// gives 0 or its error number (10061 for a refused connect on this host); one
// still in progress
// gives 10035 ("would block"): SocketReady() then reports it as writable once
// connected, or as an exception once failed. An error number is also left
// in NetLastError().
int SocketConnect(int socket, uint32_t address, uint16_t port);

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
// The socket's local IPv4 address in host byte order; false when unknown.
bool SocketLocalAddress(int socket, uint32_t* address);

}  // namespace platform
