// net/: the socket layer: the slot table, resolving, connecting and closing,
// readiness and waits, the read-ahead, the receive ring, line I/O, output buffer, trace.
//
// Connections of the socket slots: name resolution, socket creation, connect
// and close, readiness tests and time-limited waits, and address texts.
// Every operation that takes a slot number returns -1003 when it is outside
// the slot count; otherwise 1000 for success, a count or truth value where
// stated, or a negative code (a negated Windows Sockets number for an OS
// failure, e.g. -10061 for a refused connect).
#pragma once

#include <cstdint>

#include "net/slots.h"
#include "platform/tls.h"

// Resolution. A name of more than 127 characters gives -1008 and leaves the
// slot alone; otherwise it becomes the slot's HostName. A dotted quad is used
// as it is, any other name is looked up; a failed look-up gives -1009.
int WexlResolve(int slot, const char* name);
// The same resolution into a value of the caller's own, touching no slot: the
// address in host byte order through `address`; 1000, -1008 or -1009.
int WexlResolveName(const char* name, uint32_t* address);
// Looks a name up (no dotted-quad shortcut): 1000 with the address set, -1007
// for an unusable answer, or the negated look-up error.
int WexlLookupName(const char* name, uint32_t* address);
// Looks up the slot's HostName: 1000 with RemoteIP set, -1007 for an unusable
// answer (0.0.0.0, or the name's own first four bytes), or the negated
// look-up error (-11001 for an unknown host).
int WexlLookupHost(int slot);
// 1 when the text starts with four groups of decimal digits (each below 256,
// an empty group counting as 0) ended by '.' or, for the fourth, by the end
// of the text; anything after the dot ending the fourth group is ignored.
int WexlIsDottedQuad(const char* text);
// The four groups of a text that WexlIsDottedQuad accepts, first group in the
// most significant byte; 0 for any other text.
uint32_t WexlParseDottedQuad(const char* text);

// Claims the lowest free slot and creates its TCP socket: the slot number,
// -1002 when no slot is free, -1005 when the socket cannot be created.
int WexlCreateSocket();
// Resolves the server into the slot and starts the connect of its socket
// without waiting for the handshake: 1000 when it stands or is under way
// (WexlReady kind 2 then tells it stands, kind 3 that it failed), the
// resolution's code, -10038 when the slot holds no socket, or the negated
// connect error of a connect already refused.
int WexlConnect(int slot, const char* server, uint16_t port);
// Hands the system what output it takes at once, closes the slot's socket
// with a linger time, pauses, and frees the slot. 1000 (also for a slot
// without a socket), or the negated close error (the slot is freed all the
// same).
int WexlClose(int slot);
// As WexlClose, with the close lingering at most `lingerSeconds` (at least 1)
// for output the peer has not taken yet, and the pause only when `pause`.
int WexlCloseWithin(int slot, uint16_t lingerSeconds, bool pause);
// Closes the slot's socket without lingering and without a pause, and frees
// the slot: the close returns at once and the system delivers what is still
// on its way in the background (or gives up on a peer that does not read).
// The close of a connection that failed, which must never wait for the
// peer. 1000 or the negated close error.
int WexlCloseNow(int slot);
// The pause after every close, 500 ms unless set otherwise (process-wide).
void WexlSetClosePause(uint32_t ms);

// The readiness kinds of WexlReady and the waits.
enum WexlReadyKind { kWexlReadable = 1, kWexlWritable = 2, kWexlException = 3 };

// Zero-wait readiness test, after handing waiting output to the system as
// far as it takes it now. Kind 1 readable, 2 writable, 3 exception (a failed
// connect); 1 ready, 0 not (also for a slot without a socket), -1004 for
// another kind. After a failed send the socket reads as readable (a read
// reports the failure) and never as writable.
int WexlReady(int slot, int kind);
// Waits in the system until writable (1), or 0 at once for an exception
// condition, or 0 when the limit passes; a limit of 0 tests once. Waiting
// output is handed over first, within the same limit. Without a socket the
// wait sleeps out its limit and gives 0.
int WexlWaitWritable(int slot, int limitMs);
// As WexlWaitWritable for readability; 1 at once when received bytes are
// buffered.
int WexlWaitReadable(int slot, int limitMs);
// As the two waits above (kind 1 readable, kind 2 writable), except that
// without a socket it gives 0 at once; -1004 for another kind.
int WexlWaitReady(int slot, int kind, uint32_t limitMs);

// For a wait outside the library (an application's event loop): the
// socket's handle, or -1 for a slot without a socket. `*kind` gets what to
// wait for: the kind asked (1 readable, 2 writable), 2 while sent bytes
// still wait for the system, or 0 when the slot is ready already (bytes are
// buffered, or a failed send that a read reports).
int WexlWaitTarget(int slot, int* kind);

// Writes a host-order address as dotted text; its length, or 0 (nothing
// written) when the buffer is null or smaller than 17.
int WexlFormatAddress(uint32_t address, char* buffer, int size);
// The slot's RemoteIP as dotted text, as WexlFormatAddress.
int WexlRemoteAddress(int slot, char* buffer, int size);
// The local address of the slot's socket as dotted text; 0 with an empty text
// when the slot has no socket or the system cannot tell.
int WexlLocalAddress(int slot, char* buffer, int size);

// TLS on a connected slot. Once it is established every read, send, wait and
// readiness function above works on plaintext unchanged: "readable" means
// decrypted bytes are there, and the trace shows plaintext.
//
// Starts a TLS client session on the slot's connected socket: 1000;
// kWexlTlsInjection when any received byte is still buffered (the ring or
// the read-ahead: someone appended it to the plaintext reply); -1 without a
// socket or after a failed send; kWexlTlsHandshake when the slot runs TLS
// already or plaintext sent before cannot all be handed to the system now;
// kWexlTlsUnavailable or kWexlTlsHandshake when the session cannot be made.
int WexlTlsBegin(int slot, const platform::TlsOptions& options);
// One handshake step that never waits: 1000 once established (certificate
// and version checked), 0 while it waits for the peer (wait for readability
// as for any reply: WexlWaitTarget gives the socket), or kWexlTlsHandshake,
// kWexlTlsCertificate, kWexlTlsVersion, kWexlTlsUnavailable, kWexlLost (the
// peer closed or reset). A failure repeats on later steps; the slot is then
// closed as after any failure. kWexlTlsHandshake without WexlTlsBegin.
int WexlTlsStep(int slot);
// 1 while the slot's connection runs through an established session, else 0.
int WexlTlsActive(int slot);
// The negotiated version (0x0303, 0x0304), 0 before the handshake ends or
// without TLS.
int WexlTlsVersion(int slot);
// "<version> <cipher>; subject: <subject>; issuer: <issuer>" of the
// established session, cut to fit and terminated; its length, 0 (an empty
// text) without one.
int WexlTlsDescribe(int slot, char* buffer, int size);
