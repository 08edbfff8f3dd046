// A connect that tries a server's addresses in turn (RFC 8305 in its simple
// form): the next address starts 250 ms after the one before, or at once when
// that one failed, the first to connect wins and the others are closed at
// once. Nothing here waits: the engine's connect step moves it on, and the
// waits of the slot watch every attempt at once.
#include <cstdio>

#include "net/connections.h"
#include "net/internal.h"
#include "net/trace.h"

namespace {

constexpr uint32_t kAttemptDelayMs = 250;
constexpr int kWouldBlock = 10035;

// Closes an attempt's socket without lingering: nothing was sent on it.
void CloseNow(int handle) {
  platform::SocketSetLinger(handle, 0);
  platform::SocketClose(handle);
}

bool OwnedByAttempt(const SocketSlot& s, int handle) {
  for (int i = 0; i < s.Race.Next; ++i) {
    if (s.Race.Attempts[i] == handle) return true;
  }
  return false;
}

// Makes `handle` the slot's socket; the one it held goes unless an attempt
// under way still owns it.
void Promote(SocketSlot& s, int handle) {
  const int old = s.Socket;
  if (old == handle) return;
  WexlStoreSocket(s, handle);
  if (!OwnedByAttempt(s, old)) CloseNow(old);
}

void TraceFailure(SocketSlot& s, int handle, int error) {
  if (s.TraceHandle == 0) return;
  int n = snprintf(s.TextBuffer, sizeof s.TextBuffer, "Socket=%d, ConnectError=%d\r\n", handle, error);
  TraceText(s, s.TextBuffer, n);
}

// Records a failed attempt; its socket stays only while it is the slot's own.
void Failed(SocketSlot& s, int index, int handle, int error) {
  s.Race.Attempts[index] = 0;
  s.Race.LastError = error > 0 ? -error : kWexlLost;
  TraceFailure(s, handle, s.Race.LastError);
  if (handle != s.Socket) CloseNow(handle);
}

// The attempt on `handle` connected: it becomes the slot's socket.
int Won(SocketSlot& s, int index, int handle) {
  s.Race.Attempts[index] = 0;
  for (int i = 0; i < s.Race.Next; ++i) {
    const int other = s.Race.Attempts[i];
    s.Race.Attempts[i] = 0;
    if (other != 0 && other != s.Socket) CloseNow(other);
  }
  Promote(s, handle);
  s.Remote = s.Race.Addresses[index];
  s.Race.Active = 0;
  return 1;
}

// Starts the next address: 1 when it connected at once, 0 when it is under
// way, -1 when it failed.
int StartNext(SocketSlot& s, uint32_t now) {
  const int index = s.Race.Next++;
  const platform::NetAddress& address = s.Race.Addresses[index];
  s.Race.StartedAt = now;
  // The first attempt uses the socket the slot was made with.
  const int handle = index == 0 ? s.Socket : platform::SocketOpenTcp(address.family);
  if (handle < 0) {
    s.Race.LastError = NegatedLastError();
    return -1;
  }
  TraceConnect(s, handle, address);
  const int error = platform::SocketConnect(handle, address, s.Race.Port);
  if (error == 0) return Won(s, index, handle);
  if (error != kWouldBlock) {
    Failed(s, index, handle, error);
    return -1;
  }
  s.Race.Attempts[index] = handle;
  s.Remote = address;
  Promote(s, handle);
  return 0;
}

// Checks every attempt under way: true when one connected; otherwise
// `*underWay` counts those still under way.
bool CheckAttempts(SocketSlot& s, int* underWay) {
  *underWay = 0;
  for (int i = 0; i < s.Race.Next; ++i) {
    const int handle = s.Race.Attempts[i];
    if (handle == 0) continue;
    const int state = platform::SocketConnectState(handle);
    if (state == 0) {
      Won(s, i, handle);
      return true;
    }
    if (state == kWouldBlock) {
      ++*underWay;
    } else {
      Failed(s, i, handle, state);
    }
  }
  return false;
}

// Starts addresses while they are due: the next one when none is under way
// (and on after each that fails at once), or when the latest has had its
// 250 ms. 1 when one connected, 0 while under way, -1 when every one failed.
int StartDue(SocketSlot& s, int underWay, uint32_t now) {
  while (s.Race.Next < s.Race.Count) {
    if (underWay > 0 && now - s.Race.StartedAt < kAttemptDelayMs) return 0;
    const int started = StartNext(s, now);
    if (started == 1) return 1;
    if (started == 0) ++underWay;
  }
  return underWay > 0 ? 0 : -1;
}

}  // namespace

int WexlConnectAddresses(int slot, const platform::NetAddress* addresses, int count, uint16_t port, uint32_t now) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!HasSocket(*s)) return -10038;
  if (addresses == nullptr || count < 1) return kWexlUnresolved;
  CloseAttempts(*s);
  s->Race.Count = static_cast<uint8_t>(count < kRaceAddresses ? count : kRaceAddresses);
  for (int i = 0; i < s->Race.Count; ++i) s->Race.Addresses[i] = addresses[i];
  s->Race.Port = port;
  s->Race.LastError = kWexlLost;
  s->Race.Active = 1;
  s->RemotePort = port;
  const int rc = StartDue(*s, 0, now);
  if (rc < 0) s->Race.Active = 0;
  return rc < 0 ? s->Race.LastError : kWexlOk;
}

int WexlConnectProgress(int slot, uint32_t now) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (!RaceUnderWay(*s)) return HasSocket(*s) ? 1 : 0;
  int underWay = 0;
  if (CheckAttempts(*s, &underWay)) return 1;
  const int rc = StartDue(*s, underWay, now);
  if (rc < 0) {
    s->Race.Active = 0;
    return s->Race.LastError;
  }
  return rc;
}

uint32_t WexlConnectWakeIn(int slot, uint32_t now) {
  const SocketSlot* s = WexlSlot(slot);
  if (s == nullptr || !RaceUnderWay(*s)) return 0xFFFFFFFFu;
  if (s->Race.Next < s->Race.Count) {
    const uint32_t spent = now - s->Race.StartedAt;
    return spent < kAttemptDelayMs ? kAttemptDelayMs - spent : 0;
  }
  int underWay = 0;
  for (int i = 0; i < s->Race.Next; ++i) underWay += s->Race.Attempts[i] != 0 ? 1 : 0;
  return underWay > 1 ? kAttemptDelayMs : 0xFFFFFFFFu;
}

void CloseAttempts(SocketSlot& s) {
  for (int i = 0; i < s.Race.Next; ++i) {
    const int handle = s.Race.Attempts[i];
    s.Race.Attempts[i] = 0;
    if (handle != 0 && handle != s.Socket) CloseNow(handle);
  }
  s.Race.Next = 0;
  s.Race.Count = 0;
  s.Race.Active = 0;
}

int AwaitAttempts(SocketSlot& s, uint32_t limitMs) {
  int handles[kRaceAddresses];
  int count = 0;
  for (int i = 0; i < s.Race.Next; ++i) {
    if (s.Race.Attempts[i] != 0) handles[count++] = s.Race.Attempts[i];
  }
  if (count == 0) return 1;  // a step is due: the next address starts
  return platform::SocketsAwaitConnect(handles, count, limitMs) ? 1 : 0;
}
