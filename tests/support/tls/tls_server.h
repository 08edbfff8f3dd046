// The OpenSSL server side for the scripted loopback server (POSIX builds):
//
//   TempDir dir;
//   TestCa ca(dir.Path(), "ca");
//   LoopbackServer server;
//   server.SetTls(MakeServerTls({ca.Issue("server", {"localhost", "127.0.0.1"})}));
//   server.Send("220 ready\r\n").ReadLine().Send("220 go ahead\r\n").StartTls().ReadLine().Send("250 ok\r\n");
//
// The client then trusts ca.CaFile(). The server sends no session tickets
// unless a SendTicket() step asks for one, so what the client receives after
// the handshake is exactly what the script sends.
#pragma once

#include <cstddef>
#include <memory>

#include "support/loopback_server.h"
#include "support/tls/test_ca.h"

struct ServerTlsOptions {
  TestCert cert;
  // The versions the server accepts, as on the wire (0x0301 TLS 1.0 to
  // 0x0304 TLS 1.3); below TLS 1.2 the server runs at security level 0,
  // the only one at which OpenSSL still speaks those versions.
  int minVersion = 0x0303;
  int maxVersion = 0x0304;
  // Ciphertext goes out in sends of at most this many bytes (1: one byte per
  // send, the handshake included); 0: as it comes.
  size_t piece = 0;
};

// A ServerTls for LoopbackServer::SetTls; failures to load the certificate
// or key show as a failed StartTls() step.
std::unique_ptr<ServerTls> MakeServerTls(const ServerTlsOptions& options);
