// Win32 side of the TCP primitives: Windows Sockets 1.1 (wsock32.dll).
#include <windows.h>
#include <winsock.h>

#include <cstring>

#include "platform/sockets.h"
#include "platform/syscall_count.h"

namespace platform {

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

int SocketOpenTcp() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}

int SocketConnect(int socket, uint32_t address, uint16_t port) {
  sockaddr_in peer;
  memset(&peer, 0, sizeof peer);
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = htonl(address);
  if (connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return 0;
  return WSAGetLastError();
}

bool SocketReady(int socket, ReadyKind kind, uint32_t waitMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(socket), &set);
  timeval limit{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000L};
  fd_set* read = kind == kReadable ? &set : nullptr;
  fd_set* write = kind == kWritable ? &set : nullptr;
  fd_set* except = kind == kException ? &set : nullptr;
  // The first argument is ignored by Windows Sockets. A failed select leaves
  // the set as it was, so only a positive count can mean "ready".
  KOV_COUNT_SYSCALL();
  if (select(0, read, write, except, &limit) <= 0) return false;
  return __WSAFDIsSet(static_cast<SOCKET>(socket), &set) != 0;
}

int SocketSend(int socket, const void* buffer, int length) {
  KOV_COUNT_SYSCALL();
  return send(static_cast<SOCKET>(socket), static_cast<const char*>(buffer), length, 0);
}

int SocketReceive(int socket, void* buffer, int length) {
  KOV_COUNT_SYSCALL();
  return recv(static_cast<SOCKET>(socket), static_cast<char*>(buffer), length, 0);
}

void SocketSetLinger(int socket, uint16_t seconds) {
  linger l;
  l.l_onoff = 1;
  l.l_linger = seconds;
  setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
}

int SocketClose(int socket) { return closesocket(static_cast<SOCKET>(socket)) == 0 ? 0 : -1; }

bool SocketLocalAddress(int socket, uint32_t* address) {
  sockaddr_in local;
  int length = sizeof local;
  if (getsockname(static_cast<SOCKET>(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) return false;
  *address = ntohl(local.sin_addr.s_addr);
  return true;
}

}  // namespace platform
