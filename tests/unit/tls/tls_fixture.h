// What the TLS tests of the socket layer share: a test CA with a certificate
// for localhost and 127.0.0.1, client options that trust it, and the stepped
// handshake as a caller in stepped mode runs it.
#pragma once

#include <string>

#include "net/connections.h"
#include "support/tls/test_ca.h"
#include "support/tls/tls_server.h"
#include "unit/net/net_fixture.h"

class TlsTest : public NetTest {
 protected:
  TlsTest() : ca_(dir_.Path(), "ca"), good_(ca_.Issue("good", {"localhost", "127.0.0.1"})) {}

  // Client options trusting the test CA, checking `name`.
  platform::TlsOptions Options(const char* name = "localhost", int minVersion = platform::kTls12) const {
    return platform::TlsOptions{name, ca_.CaFile().c_str(), true, minVersion};
  }
  // A server with the given certificate (the good one by default).
  static ServerTlsOptions With(const TestCert& cert, size_t piece = 0) {
    ServerTlsOptions options;
    options.cert = cert;
    options.piece = piece;
    return options;
  }

  struct Outcome {
    int result;   // the last WexlTlsStep result
    int waiting;  // how many steps gave 0
  };
  // Steps the handshake as a stepped caller does: a step, and while it gives
  // 0 a wait for readability of at most 100 ms, for at most five seconds.
  static Outcome Handshake(int slot) {
    Outcome outcome{0, 0};
    for (int i = 0; i < 5000; ++i) {
      outcome.result = WexlTlsStep(slot);
      if (outcome.result != 0) return outcome;
      ++outcome.waiting;
      WexlWaitReadable(slot, 100);
    }
    return outcome;
  }

  // Connects a slot to the server and starts TLS on it at once (implicit TLS).
  int ConnectTls(LoopbackServer& server, const platform::TlsOptions& options) {
    int slot = Connect(server);
    EXPECT_EQ(WexlTlsBegin(slot, options), 1000);
    return slot;
  }

  TempDir dir_;
  TestCa ca_;
  TestCert good_;
};

// Reads one line with generous limits; the text, or "<n>" for a result below 1.
inline std::string ReadLineText(int slot) {
  char buffer[1024];
  int n = WexlReadLine(slot, buffer, sizeof buffer, 3000, 3000);
  if (n < 1) return "<" + std::to_string(n) + ">";
  return std::string(buffer, static_cast<size_t>(n));
}
