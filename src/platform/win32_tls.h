// Inside the Win32 TLS session: the SChannel and certificate functions it
// calls, all reached through pointers that are filled on the first use from
// secur32.dll and crypt32.dll, so that KOV32.dll imports neither.
#pragma once

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <windows.h>
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>

namespace platform {

struct TlsApi {
  PSecurityFunctionTableA sspi;
  decltype(&CertOpenStore) openStore;
  decltype(&CertCloseStore) closeStore;
  decltype(&CertAddEncodedCertificateToStore) addEncodedCertificate;
  decltype(&CryptStringToBinaryA) stringToBinary;
  decltype(&CertCreateCertificateChainEngine) createChainEngine;
  decltype(&CertFreeCertificateChainEngine) freeChainEngine;
  decltype(&CertGetCertificateChain) getChain;
  decltype(&CertVerifyCertificateChainPolicy) verifyChainPolicy;
  decltype(&CertFreeCertificateChain) freeChain;
  decltype(&CertFreeCertificateContext) freeCertificate;
  decltype(&CertNameToStrA) nameToString;
  decltype(&CertFindExtension) findExtension;
  decltype(&CryptDecodeObjectEx) decodeObject;
  // ntdll's address parsers (RtlIpv4StringToAddressA, RtlIpv6StringToAddressA).
  LONG(WINAPI* ipv4FromText)(const char* text, BOOLEAN strict, const char** end, void* address);
  LONG(WINAPI* ipv6FromText)(const char* text, const char** end, void* address);
};

// The functions, loaded once per process (the first caller loads them, any
// other waits for it): null when a DLL or any one function is missing.
const TlsApi* LoadTlsApi();

// The address an IPv4 or IPv6 literal names (brackets around it allowed), in
// network order: its length, 4 or 16, or 0 when `name` is no address.
int AddressBytes(const TlsApi& api, const char* name, unsigned char address[16]);

// A memory store holding every certificate of a PEM file, for a chain engine
// that trusts those roots only: null when the file cannot be read or holds
// no certificate.
HCERTSTORE LoadRootStore(const TlsApi& api, const char* path);

// What the handshake's end learns about the peer.
struct PeerFacts {
  int version;               // kTls12, kTls13, ...; 0 when unknown
  char description[400];     // TlsDescribe's text
};

// Checks the established context: with `verify`, the server's certificate
// chain (to `roots` only when not null, else to the system's roots) and its
// name (an address literal against the certificate's IP addresses); then the negotiated version against `minVersion`. Fills `facts` in
// either case. kTlsOk, kTlsBadCertificate, kTlsOldVersion or
// kTlsHandshakeFailed (the context cannot tell what was negotiated).
int CheckPeer(const TlsApi& api, CtxtHandle* context, const char* serverName, bool verify,
              HCERTSTORE roots, int minVersion, PeerFacts* facts);

}  // namespace platform
