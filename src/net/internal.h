// Small helpers shared by the socket layer's files.
#pragma once

#include <cstdint>

#include "net/slots.h"
#include "platform/platform.h"
#include "platform/sockets.h"

// Whether the slot holds a socket handle (it is neither free nor only claimed).
// Without one the layer never asks the system: handles 0 and 1 are not sockets.
inline bool HasSocket(const SocketSlot& s) { return s.Socket != kSocketFree && s.Socket != kSocketClaimed; }

// The pause between polls; a negative setting counts as 0 (yield).
inline uint32_t PollPause(const SocketSlot& s) {
  return s.SleepInterval > 0 ? static_cast<uint32_t>(s.SleepInterval) : 0;
}

// Waits, one SleepInterval at a time, while a blocking sockets call is in
// progress on this thread (only Windows Sockets 1.1 can report one).
inline void WaitWhileBlocking(const SocketSlot& s) {
  while (platform::NetIsBlocking()) platform::SleepMs(PollPause(s));
}

// The thread's last sockets error negated; -1 (connection unusable) when the
// system recorded none, so that a failure never reads as a count of 0.
inline int NegatedLastError() {
  int e = platform::NetLastError();
  return e > 0 ? -e : kWexlLost;
}

// The system's readiness test of the slot's socket (which must have one),
// answering "readable" from KnownReadable while that holds.
bool SystemReady(SocketSlot& s, platform::ReadyKind kind, uint32_t waitMs);
// A receive of up to `length` bytes; KnownReadable no longer holds after it.
int ReceiveNow(SocketSlot& s, void* buffer, int length);

// The trace record of a connect of `handle` to an address on the slot's
// RemotePort (only while TraceHandle is set).
void TraceConnect(SocketSlot& s, int handle, const platform::NetAddress& address);

// Whether the slot's connect still tries its addresses (WexlConnectAddresses).
inline bool RaceUnderWay(const SocketSlot& s) { return s.Race.Active != 0; }
// Closes at once every attempt of the slot's connect but the slot's own
// socket, and ends the connect.
void CloseAttempts(SocketSlot& s);
// Waits up to `limitMs` until one attempt of the slot's connect has ended:
// 1 when one has, else 0.
int AwaitAttempts(SocketSlot& s, uint32_t limitMs);
