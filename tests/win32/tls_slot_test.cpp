// The whole path on Windows: socket-layer slots running TLS through the
// SChannel session, against the echo servers of tls_session.sh.
#include <gtest/gtest.h>

#include <string>

#include "net/connections.h"
#include "net/lineio.h"
#include "tls_servers.h"

namespace {

class TlsSlot : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WexlStartup(16, 2), 1000);
    WexlSetClosePause(0);
  }
  void TearDown() override {
    for (int slot = 0; slot < WexlSlotCount(); ++slot) WexlClose(slot);
    WexlShutdown();
  }

  // Connects to a server and starts TLS at once (implicit TLS).
  int Begin(const char* server, const char* name, bool withCa) {
    const std::string ca = TlsTestFile("ca.pem");
    const int slot = WexlCreateSocket();
    EXPECT_EQ(WexlConnect(slot, "127.0.0.1", static_cast<uint16_t>(TlsServerPorts()[server])), 1000);
    platform::TlsOptions options = {name, withCa ? ca.c_str() : nullptr, true, platform::kTls12};
    EXPECT_EQ(WexlTlsBegin(slot, options), 1000);
    return slot;
  }

  // Steps the handshake as a stepped caller does, waiting for readability
  // between steps: the last result.
  static int Handshake(int slot) {
    int result = 0;
    for (int i = 0; i < 200 && result == 0; ++i) {
      result = WexlTlsStep(slot);
      if (result == 0) WexlWaitReadable(slot, 100);
    }
    return result;
  }

  static std::string Line(int slot) {
    char buffer[512];
    const int n = WexlReadLine(slot, buffer, sizeof buffer, 5000, 5000);
    return n > 0 ? std::string(buffer, n) : "<" + std::to_string(n) + ">";
  }
};

TEST_F(TlsSlot, LinesGoThroughTheSession) {
  const int slot = Begin("good", "localhost", true);
  ASSERT_EQ(Handshake(slot), 1000);
  EXPECT_EQ(WexlTlsActive(slot), 1);
  EXPECT_EQ(WexlTlsVersion(slot), 0x0303);
  char text[400];
  EXPECT_GT(WexlTlsDescribe(slot, text, sizeof text), 0);
  EXPECT_NE(std::string(text).find("subject: CN=localhost"), std::string::npos) << text;
  EXPECT_EQ(WexlSendLine(slot, "EHLO client"), 13);
  EXPECT_EQ(Line(slot), "EHLO client\r\n");
  // Many lines out before any comes back: several records in one receive.
  std::string sent;
  for (int i = 0; i < 300; ++i) {
    const std::string line = "line " + std::to_string(i) + std::string(i % 90, 'x');
    ASSERT_EQ(WexlSendLine(slot, line.c_str()), static_cast<int>(line.size()) + 2);
    sent += line + "\r\n";
  }
  std::string echoed;
  for (int i = 0; i < 300; ++i) echoed += Line(slot);
  EXPECT_TRUE(echoed == sent) << echoed.size() << " of " << sent.size() << " bytes back";
}

TEST_F(TlsSlot, RefusalsGiveTheSocketLayersCodes) {
  EXPECT_EQ(Handshake(Begin("good", "localhost", false)), kWexlTlsCertificate);  // unknown CA
  EXPECT_EQ(Handshake(Begin("other", "localhost", true)), kWexlTlsCertificate);  // wrong name
  EXPECT_EQ(Handshake(Begin("plain", "localhost", true)), kWexlTlsHandshake);    // no TLS at all
}

}  // namespace
