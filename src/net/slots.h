// The socket slot table: at most 32 connections, each in a fixed slot that a
// channel keeps in its SlotNumber while the connection lasts. Operations
// return 1000 for success or a negative code (below, or a negated Windows
// Sockets error number).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sockets.h"

constexpr int kWexlOk = 1000;
constexpr int kMaxSlots = 32;
constexpr int kRingSize = 256;
// What one receive may take from the socket: bytes wait here until the ring
// has room, so bulk data costs one receive per this many bytes, not per line.
constexpr int kReadAheadSize = 65536;
// What sends gather before they are handed to the system in one piece.
constexpr int kOutputSize = 32768;
// The room a step may count on after WexlCanSend said yes: more than any one
// command or message line.
constexpr int kSendRoom = 4096;

enum WexlCode {
  kWexlLost = -1,
  kWexlNoFreeSlot = -1002,
  kWexlBadSlot = -1003,
  kWexlBadKind = -1004,
  kWexlSocketFailed = -1005,
  kWexlBadOption = -1006,
  kWexlBadAddress = -1007,
  kWexlNameTooLong = -1008,
  kWexlUnresolved = -1009,
  kWexlBadLength = -1010,
  kWexlLineTooSlow = -1011,
  // TLS on a slot: the system's TLS library is missing, the handshake failed,
  // the certificate or the version was refused, or received bytes were
  // buffered when TLS was to start (someone appended them to the plaintext).
  kWexlTlsUnavailable = -1020,
  kWexlTlsHandshake = -1021,
  kWexlTlsCertificate = -1022,
  kWexlTlsVersion = -1023,
  kWexlTlsInjection = -1024,
  kWexlNoAddress = -1012,
};

enum WexlOption { kOptionTrace = 1001, kOptionSendWait = 1002 };

// Values of SocketSlot::Socket besides an open handle.
constexpr int kSocketFree = 0;
constexpr int kSocketClaimed = 1;

// A writer of the trace's owner (the channel's buffered log), which the
// records go through instead of straight to TraceHandle.
using TraceWriter = void (*)(void* owner, const char* bytes, int length);

struct PeerAddressRecord {
  uint16_t Family;
  uint16_t Port;     // network byte order
  uint32_t Address;  // network byte order
  uint8_t Zero[8];
};

// The TLS session of a slot and its ciphertext buffers (net/tls.h).
struct TlsLink;
// The addresses a connect may try in turn.
constexpr int kRaceAddresses = 8;

// A connect that tries a server's addresses in turn, each started 250 ms
// after the one before or at once when that one failed; the first to connect
// becomes the slot's socket. The slot's Socket is the newest attempt still
// under way (or, when none is, the one that failed last).
struct ConnectRace {
  platform::NetAddress Addresses[kRaceAddresses];
  // The socket of each address's attempt while it is under way, else 0.
  int32_t Attempts[kRaceAddresses];
  int32_t LastError;   // the negated error of the attempt that failed last
  uint32_t StartedAt;  // when the latest attempt started
  uint16_t Port;
  uint8_t Count;
  uint8_t Next;    // the address to start next
  uint8_t Active;  // 1 until one attempt connected or every one failed
};

struct SocketSlot {
  int32_t Index;
  int32_t Socket;  // 0 free, 1 claimed, else the open socket's handle
  PeerAddressRecord PeerAddress;
  char TextBuffer[256];
  unsigned char RingData[kRingSize];
  int32_t RingHead;
  int32_t RingTail;
  // Bytes the ring holds in place, without a copy: AheadData[AheadHead..
  // AheadHead + RingLent), ahead of everything else in the read-ahead
  // buffer. Only an otherwise empty ring lends; at most 255 bytes.
  int32_t RingLent;
  // Received bytes the ring had no room for: AheadData[AheadHead..AheadTail).
  unsigned char AheadData[kReadAheadSize];
  int32_t AheadHead;
  int32_t AheadTail;
  // 1 once the system said the socket is readable, until the next receive:
  // only a receive of this slot's own can take that away, so the readiness
  // tests and waits until then need not ask again.
  uint8_t KnownReadable;
  // Bytes sent and not yet handed to the system: OutData[OutHead..OutTail).
  unsigned char OutData[kOutputSize];
  int32_t OutHead;
  int32_t OutTail;
  // How the last hand-over failed (a negated Windows Sockets error), 0 while
  // none has: kept until the slot gets a new socket, so that no later send
  // or read on this connection can look successful.
  int32_t SendError;
  int32_t TraceHandle;  // 0 = no trace
  TraceWriter TraceTo;  // null: records go straight to TraceHandle
  void* TraceOwner;
  int32_t SleepInterval;
  char HostName[128];
  platform::NetAddress Remote;
  uint16_t RemotePort;
  ConnectRace Race;
  int32_t SendWaitLimit;
  int32_t OpenFlag;
  // The TLS session once WexlTlsBegin started one, until the socket closes;
  // null for a plain connection, whose bytes go to the system as they are.
  TlsLink* Tls;
};

int WexlStartup(int requestedSlots, int sleepInterval);
void WexlShutdown();
int WexlSetOption(int slot, int option, int value);
// Sends the slot's trace records through `writer` with `owner` (null: to
// TraceHandle directly); records are written only while TraceHandle is set.
// 1000 or -1003.
int WexlSetTraceWriter(int slot, TraceWriter writer, void* owner);
int WexlIsOpen(int slot);
int WexlResetBuffer(int slot);
int WexlDescription(char* buffer, int size);

// Claims the lowest free slot under the slot-table lock (Socket becomes 1).
// The slot number, or -1002 when every slot is in use.
int WexlClaimSlot();
// Stores a slot's Socket value (a handle, or 0 to free the slot) under the
// same lock, so that a claim on another thread never races with it.
void WexlStoreSocket(SocketSlot& s, int32_t socket);

// The number of slots set by the last start-up.
int WexlSlotCount();
// The slot record of a number that passed the range check; null otherwise.
SocketSlot* WexlSlot(int slot);
