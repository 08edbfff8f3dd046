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
// Looks up the slot's HostName: 1000 with Remote set, -1007 for an unusable
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

// Which addresses a server name may give (KOV_IP_FAMILY): kWexlClassic the
// one IPv4 address of WexlResolve; the others every address of IPv4, of
// IPv6, or of both in the resolver's order, for WexlConnectAddresses.
enum WexlFamily { kWexlClassic = 0, kWexlIpv4 = 4, kWexlIpv6 = 6, kWexlAnyFamily = 46 };
// Whether a number is one of the WexlFamily values.
bool WexlValidFamily(int family);
// 1 when the name's brackets suit the family, else 0: with kWexlClassic any
// name; with IPv6 allowed a name may be "[" IPv6 literal "]" and no other
// name holds a bracket; with kWexlIpv4 no name does.
int WexlNameFitsFamily(const char* name, int family);
// An IPv4 address in strict dotted form (four decimal groups of 0 to 255
// without leading zeros, nothing after them) or an IPv6 address in the text
// forms of RFC 4291 (a dotted IPv4 tail included; no brackets, no zone):
// true with `address` set, else false.
bool WexlParseIpLiteral(const char* text, platform::NetAddress* address);
// Resolves a server name into up to `capacity` addresses of the families
// `family` allows, in the resolver's order: an address literal (an IPv6 one
// also in brackets) as it is, any other name through the system's resolver.
// The count, -1008 for a name of more than 127 characters, -1009 for one that
// does not resolve, or -1012 when it resolves to no address of the allowed
// families.
int WexlResolveAll(const char* name, int family, platform::NetAddress* out, int capacity);

// Claims the lowest free slot and creates its TCP socket: the slot number,
// -1002 when no slot is free, -1005 when the socket cannot be created.
int WexlCreateSocket();
// The same with a socket of the family (4 or 6) of the first address a
// connect will try.
int WexlCreateSocketFor(int family);
// Resolves the server into the slot and starts the connect of its socket
// without waiting for the handshake: 1000 when it stands or is under way
// (WexlReady kind 2 then tells it stands, kind 3 that it failed), the
// resolution's code, -10038 when the slot holds no socket, or the negated
// connect error of a connect already refused.
int WexlConnect(int slot, const char* server, uint16_t port);
// Starts the connect of a slot made by WexlCreateSocketFor to the first of
// `count` addresses (at most 8 are used) on `port`, the next one 250 ms later
// or as soon as the one before has failed, up to the last: 1000 while it is
// under way or when it connected at once, or the negated error of the last
// attempt when every one failed at once. -10038 when the slot holds no
// socket, -1009 for no address.
int WexlConnectAddresses(int slot, const platform::NetAddress* addresses, int count, uint16_t port, uint32_t now);
// Moves the connect of WexlConnectAddresses on at `now` without waiting:
// checks the attempts under way, closes the failed ones, starts the next
// address when it is due. 1 when one attempt connected (it becomes the slot's
// socket and its address the slot's Remote; the others are closed at once), 0
// while it is under way, the negated error of the last attempt when every one
// failed. Without a connect of several addresses under way: 1 when the slot
// holds a socket, else 0.
int WexlConnectProgress(int slot, uint32_t now);
// The ms from `now` until WexlConnectProgress must look again whatever the
// slot's socket does: until the next address is due, or 250 while several
// attempts are under way (a wait outside the library watches one socket);
// 0xFFFFFFFF when nothing is due.
uint32_t WexlConnectWakeIn(int slot, uint32_t now);

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
// Writes an address as text: IPv4 as WexlFormatAddress, IPv6 in the form of
// RFC 5952 (lower case, the longest run of zero groups as "::", an
// IPv4-mapped address with a dotted tail), which needs a buffer of 46 bytes:
// its length, or 0 (nothing written) when the buffer is null or too small.
int WexlFormatNetAddress(const platform::NetAddress& address, char* buffer, int size);
// The slot's Remote address as text, as WexlFormatNetAddress.
int WexlRemoteAddress(int slot, char* buffer, int size);
// The local address of the slot's socket as text, as WexlFormatNetAddress; 0
// with an empty text when the slot has no socket or the system cannot tell.
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
// closed as after any failure. kWexlTlsHandshake without WexlTlsBegin. While
// the handshake runs, readiness is the socket's own and a read finds the
// connection lost: nothing but steps belongs between WexlTlsBegin and 1000.
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
