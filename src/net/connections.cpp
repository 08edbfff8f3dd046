// Creating, connecting and closing the socket of a slot.
#include <cstdio>

#include "net/connections.h"
#include "net/internal.h"
#include "net/output.h"
#include "net/ring.h"
#include "net/tls.h"
#include "net/trace.h"

namespace {

constexpr uint16_t kLingerTime = 500;
constexpr int kNotASocket = 10038;  // what Windows Sockets says of a missing handle
constexpr int kWouldBlock = 10035;

uint32_t closePauseMs = 500;

}  // namespace

void TraceConnect(SocketSlot& s, int handle, const platform::NetAddress& address) {
  if (s.TraceHandle == 0) return;
  int n;
  if (address.family == 6) {
    char text[48];
    WexlFormatNetAddress(address, text, sizeof text);
    n = snprintf(s.TextBuffer, sizeof s.TextBuffer, "Socket=%d, RemoteIP=[%s], RemotePort=%u\r\n", handle, text,
                 static_cast<unsigned>(s.RemotePort));
  } else {
    n = snprintf(s.TextBuffer, sizeof s.TextBuffer, "Socket=%d, RemoteIP=%x, RemotePort=%u\r\n", handle,
                 platform::Ipv4Of(address), static_cast<unsigned>(s.RemotePort));
  }
  TraceText(s, s.TextBuffer, n);
}

void WexlSetClosePause(uint32_t ms) { closePauseMs = ms; }

int WexlCreateSocket() { return WexlCreateSocketFor(4); }

int WexlCreateSocketFor(int family) {
  int slot = WexlClaimSlot();
  if (slot < 0) return slot;
  SocketSlot& s = *WexlSlot(slot);
  int handle = platform::SocketOpenTcp(family);
  if (handle < 0) {
    WexlStoreSocket(s, kSocketFree);
    return kWexlSocketFailed;
  }
  s.OpenFlag = 1;
  TlsRelease(s, false);  // never a session of an earlier connection
  s.Race = ConnectRace{};
  ClearReceived(s);
  ClearOutput(s);
  WexlStoreSocket(s, handle);
  return slot;
}

int WexlConnect(int slot, const char* server, uint16_t port) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!HasSocket(*s)) return -kNotASocket;
  s->RemotePort = port;
  // A name that does not resolve must not connect to whatever address the
  // slot resolved before.
  int resolved = WexlResolve(slot, server);
  if (resolved != kWexlOk) return resolved;
  TraceConnect(*s, s->Socket, s->Remote);
  int error = platform::SocketConnect(s->Socket, s->Remote, port);
  if (error != 0 && error != kWouldBlock) return -error;
  return kWexlOk;
}

namespace {

// Closes with the given linger time (the close waits that long at most for
// the peer to take what is still on its way; 0: it does not wait) and frees
// the slot.
int CloseSlot(SocketSlot& s, uint16_t lingerSeconds, uint32_t pauseMs) {
  WaitWhileBlocking(s);
  CloseAttempts(s);
  PushOutput(s);
  TlsRelease(s, true);
  platform::SocketSetLinger(s.Socket, lingerSeconds);
  int result = platform::SocketClose(s.Socket) == 0 ? kWexlOk : NegatedLastError();
  platform::SleepMs(pauseMs);
  // The slot is free whatever the close said, so it is no longer open either.
  s.OpenFlag = 0;
  ClearOutput(s);
  WexlStoreSocket(s, kSocketFree);
  return result;
}

}  // namespace

int WexlClose(int slot) { return WexlCloseWithin(slot, kLingerTime, true); }

int WexlCloseWithin(int slot, uint16_t lingerSeconds, bool pause) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!HasSocket(*s)) return kWexlOk;
  return CloseSlot(*s, lingerSeconds > 0 ? lingerSeconds : 1, pause ? closePauseMs : 0);
}

int WexlCloseNow(int slot) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!HasSocket(*s)) return kWexlOk;
  return CloseSlot(*s, 0, 0);
}
