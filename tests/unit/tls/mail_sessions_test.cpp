// SMTP and POP3 sessions over TLS against the scripted server's TLS side:
// STARTTLS and STLS with the capabilities asked again inside TLS, implicit
// TLS, failures that close before any credential goes (the server's record
// of what it received proves it), plain text injected after the go-ahead,
// OAuth logins and their refusals, and stepped driving through kovWaitInfo.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "kov32.h"
#include "support/driver_fixture.h"
#include "support/library_fixture.h"
#include "support/tls/test_ca.h"
#include "support/tls/tls_server.h"

namespace {

constexpr const char* kFrom = "Joe <joe@example.com>";
// The token of the examples of RFC 7628.
constexpr const char* kToken = "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==";

std::string Base64(const std::string& bytes) {
  std::vector<char> out(bytes.size() * 2 + 8);
  const int n = EncodeOneLine(bytes.data(), static_cast<int>(bytes.size()), out.data(), static_cast<int>(out.size()));
  return std::string(out.data(), static_cast<size_t>(n > 2 ? n - 2 : 0));
}

class MailTls : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    ca_ = std::make_unique<TestCa>(dir.Path(), "ca");
    good_ = ca_->Issue("good", {"localhost", "127.0.0.1"});
    kovIntegerParam(0, KOV_DELAY, 1);
    kovIntegerParam(0, KOV_TIMEOUT, 3000);
    kovIntegerParam(0, KOV_CONNECT_WAIT, 3000);
    kovIntegerParam(0, KOV_PACING, 0);
    kovStringParam(0, KOV_TLS_CA_FILE, ca_->CaFile().c_str());
    kovStringParam(0, KOV_USER, "alice");
    kovStringParam(0, KOV_AUTH_PASSWORD, "secret");
  }

  // Starts the server with a TLS side holding `cert`, and points channel 0 at it.
  // `piece` 1 sends the ciphertext one byte per send.
  void Serve(LoopbackServer& server, const TestCert& cert, int maxVersion = 0x0304, size_t piece = 0) {
    ServerTlsOptions options;
    options.cert = cert;
    options.maxVersion = maxVersion;
    options.piece = piece;
    server.SetTls(MakeServerTls(options));
    server.Start();
    kovIntegerParam(0, KOV_SMTP_PORT, server.Port());
    kovIntegerParam(0, KOV_POP3_PORT, server.Port());
  }

  // The STARTTLS session up to the handshake.
  static LoopbackServer& StartTlsScript(LoopbackServer& server) {
    return server.Send("220 mx.example.com ESMTP\r\n")
        .ReadLine()
        .Send("250-mx.example.com\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n")
        .ReadLine()
        .Send("220 2.0.0 ready\r\n");
  }

  std::string DebugTls() {
    char text[512];
    kovDebug(0, KOV_DEBUG_TLS, text, sizeof text);
    return text;
  }

  // What the STARTTLS session with AUTH PLAIN inside leaves on the server and in the log.
  void CheckPlainInsideTls(LoopbackServer& server, const std::string& log);

  std::unique_ptr<TestCa> ca_;
  TestCert good_;
};

// The login is chosen from the EHLO answer inside TLS (PLAIN), not from the
// first one (LOGIN), and every credential goes through the session; also
// when the server's ciphertext comes one byte at a time.
TEST_F(MailTls, StartTlsThenEhloAgainThenPlainInside) {
  for (size_t piece : {0, 1}) {
    SCOPED_TRACE(piece);
    LoopbackServer server;
    StartTlsScript(server).StartTls().ReadLine().Send("250-mx.example.com\r\n250 AUTH PLAIN\r\n").ReadLine().Send(
        "235 2.7.0 ok\r\n");
    Serve(server, good_, 0x0304, piece);
    const std::string log = OpenLog(0, "starttls" + std::to_string(piece) + ".log");
    kovIntegerParam(0, KOV_TLS, 1);
    ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), 0);
    CheckPlainInsideTls(server, log);
    kovAbort(0);
  }
}

void MailTls::CheckPlainInsideTls(LoopbackServer& server, const std::string& log) {
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "EHLO example.com\r\nSTARTTLS\r\nEHLO example.com\r\nAUTH PLAIN " +
                                   Base64(std::string("alice\0alice\0secret", 18)) + "\r\n");
  EXPECT_GE(kovStatistics(0, KOV_STAT_TLS), 0x0303);
  EXPECT_NE(DebugTls().find("subject:"), std::string::npos);
  const std::string text = LogOf(log);
  for (const char* line : {"<250:", "<253:", "<254:", "AUTH PLAIN ok\r\n", "S: AUTH PLAIN *****\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.find("secret"), std::string::npos);
}

TEST_F(MailTls, ImplicitSmtpHandshakesBeforeTheGreeting) {
  LoopbackServer server;
  server.StartTls().Send("220 mx.example.com ESMTP\r\n").ReadLine().Send("250 mx.example.com\r\n");
  Serve(server, good_);
  kovIntegerParam(0, KOV_TLS, 2);
  kovStringParam(0, KOV_USER, "");
  ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), 0);
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "EHLO example.com\r\n");
  EXPECT_GE(kovStatistics(0, KOV_STAT_TLS), 0x0303);
}

// The whole session runs inside TLS, QUIT included.
TEST_F(MailTls, ImplicitPop3) {
  LoopbackServer server;
  server.StartTls().Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK in\r\n");
  server.ReadLine().Send("+OK 2 320\r\n").ReadLine().Send("+OK bye\r\n").Close();
  Serve(server, good_);
  kovIntegerParam(0, KOV_TLS, 2);
  ASSERT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "tanstaaf"), 0);
  EXPECT_EQ(kovGetEmailCount(0), 2);
  EXPECT_EQ(kovClose(0), 0);
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "USER mrose\r\nPASS tanstaaf\r\nSTAT\r\nQUIT\r\n");
}

// A server that answers in plain text where TLS was asked for fails the
// handshake; no greeting is read and no command goes.
TEST_F(MailTls, PlainServerOnAnImplicitPort) {
  LoopbackServer server;
  server.Send("220 mx.example.com ESMTP\r\n").Pause(100);
  Serve(server, good_);
  kovIntegerParam(0, KOV_TLS, 2);
  EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), KOV_E_TLS_HANDSHAKE);
  server.WaitScript(1000);
  EXPECT_EQ(server.Received().find("EHLO"), std::string::npos);
}

// CAPA before STLS and again inside TLS, where the capabilities may differ.
TEST_F(MailTls, Pop3StlsAsksCapaAgain) {
  LoopbackServer server;
  server.Send("+OK ready\r\n")
      .ReadLine()
      .Send("+OK\r\nSTLS\r\nUSER\r\n.\r\n")
      .ReadLine()
      .Send("+OK begin\r\n")
      .StartTls()
      .ReadLine()
      .Send("+OK\r\nUSER\r\n.\r\n")
      .ReadLine()
      .Send("+OK\r\n")
      .ReadLine()
      .Send("+OK in\r\n");
  Serve(server, good_);
  kovIntegerParam(0, KOV_TLS, 1);
  ASSERT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "tanstaaf"), 0);
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "CAPA\r\nSTLS\r\nCAPA\r\nUSER mrose\r\nPASS tanstaaf\r\n");
}

// A certificate the client cannot trust ends the connect with its code, and
// the server gets nothing after STARTTLS: no EHLO, no credential, no QUIT.
TEST_F(MailTls, BadCertificatesLetNoCredentialThrough) {
  const TestCert self = SelfSigned(dir.Path(), "self", {"localhost", "127.0.0.1"});
  const TestCert expired = ca_->Issue("old", {"localhost", "127.0.0.1"}, -10, -1);
  const TestCert otherName = ca_->Issue("other", {"mail.example.org"});
  for (const TestCert* cert : {&self, &expired, &otherName}) {
    SCOPED_TRACE(cert->certFile);
    LoopbackServer server;
    StartTlsScript(server).StartTls().ReadLine();
    Serve(server, *cert);
    kovIntegerParam(0, KOV_TLS, 1);
    EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), KOV_E_TLS_CERTIFICATE);
    server.WaitScript(1000);
    EXPECT_EQ(server.Received(), "EHLO example.com\r\nSTARTTLS\r\n");
    EXPECT_EQ(kovStatistics(0, KOV_STAT_CONNECTION), 0);
  }
}

TEST_F(MailTls, UncheckedCertificateWhenVerifyIsOff) {
  const TestCert self = SelfSigned(dir.Path(), "self", {"mail.example.org"});
  LoopbackServer server;
  server.StartTls().Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK in\r\n");
  Serve(server, self);
  kovIntegerParam(0, KOV_TLS, 2);
  kovIntegerParam(0, KOV_TLS_VERIFY, 0);
  EXPECT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "tanstaaf"), 0);
}

TEST_F(MailTls, ServerNameParameterNamesTheCertificate) {
  const TestCert named = ca_->Issue("named", {"mail.example.org"});
  LoopbackServer server;
  server.StartTls().Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK in\r\n");
  Serve(server, named);
  kovIntegerParam(0, KOV_TLS, 2);
  kovStringParam(0, KOV_TLS_SERVER_NAME, "mail.example.org");
  EXPECT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "tanstaaf"), 0);
}

TEST_F(MailTls, OlderVersionThanAskedFails) {
  LoopbackServer server;
  server.StartTls();
  Serve(server, good_, 0x0303);
  kovIntegerParam(0, KOV_TLS, 2);
  kovIntegerParam(0, KOV_TLS_MIN_VERSION, 0x0304);
  EXPECT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "tanstaaf"), KOV_E_TLS_VERSION);
  server.WaitScript(1000);
  EXPECT_EQ(server.Received(), "");
}

// Plain text behind the go-ahead would be read as if it came through TLS:
// the connect fails before the handshake, and nothing more is sent.
TEST_F(MailTls, PlainTextAfterTheGoAheadIsInjection) {
  LoopbackServer server;
  server.Send("220 mx.example.com ESMTP\r\n")
      .ReadLine()
      .Send("250-mx.example.com\r\n250 STARTTLS\r\n")
      .ReadLine()
      .Send("220 ready\r\n250-injected\r\n250 AUTH PLAIN\r\n")
      .Pause(200);
  Serve(server, good_);
  kovIntegerParam(0, KOV_TLS, 1);
  EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), KOV_E_TLS_INJECTION);
  server.WaitScript(1000);
  EXPECT_EQ(server.Received(), "EHLO example.com\r\nSTARTTLS\r\n");
}

TEST_F(MailTls, SmtpOAuthLogins) {
  for (int mechanism : {KOV_AUTH_AUTOMATIC, KOV_AUTH_XOAUTH2}) {
    SCOPED_TRACE(mechanism);
    LoopbackServer server;
    server.StartTls()
        .Send("220 mx.example.com ESMTP\r\n")
        .ReadLine()
        .Send("250-mx.example.com\r\n250 AUTH PLAIN XOAUTH2 OAUTHBEARER\r\n")
        .ReadLine()
        .Send("235 2.7.0 ok\r\n");
    Serve(server, good_);
    const std::string log = OpenLog(0, "oauth" + std::to_string(mechanism) + ".log");
    kovIntegerParam(0, KOV_TLS, 2);
    kovIntegerParam(0, KOV_AUTH_MECHANISM, mechanism);
    kovStringParam(0, KOV_OAUTH_TOKEN, kToken);
    ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), 0);
    ASSERT_TRUE(server.WaitScript());
    const std::string port = std::to_string(server.Port());
    const std::string expected =
        mechanism == KOV_AUTH_XOAUTH2
            ? "AUTH XOAUTH2 " + Base64(std::string("user=alice\x01" "auth=Bearer ") + kToken + "\x01\x01")
            : "AUTH OAUTHBEARER " + Base64("n,a=alice,\x01host=127.0.0.1\x01port=" + port + "\x01" "auth=Bearer " +
                                           kToken + "\x01\x01");
    EXPECT_EQ(server.Received(), "EHLO example.com\r\n" + expected + "\r\n");
    const std::string text = LogOf(log);
    EXPECT_EQ(text.find(kToken), std::string::npos);
    EXPECT_NE(text.find(mechanism == KOV_AUTH_XOAUTH2 ? "AUTH XOAUTH2 ok" : "AUTH OAUTHBEARER ok"), std::string::npos);
    kovAbort(0);
  }
}

// A refused token: the error challenge is answered as the mechanism asks
// and the final reply fails the login with its text.
TEST_F(MailTls, SmtpOAuthRefusal) {
  const std::string error = Base64("{\"status\":\"invalid_token\",\"scope\":\"mail\"}");
  for (int mechanism : {KOV_AUTH_XOAUTH2, KOV_AUTH_OAUTHBEARER}) {
    SCOPED_TRACE(mechanism);
    LoopbackServer server;
    server.StartTls()
        .Send("220 mx.example.com ESMTP\r\n")
        .ReadLine()
        .Send("250-mx.example.com\r\n250 AUTH XOAUTH2 OAUTHBEARER\r\n")
        .ReadLine()
        .Send("334 " + error + "\r\n")
        .ReadLine()
        .Send("535 5.7.8 token refused\r\n");
    Serve(server, good_);
    const std::string log = OpenLog(0, "refused" + std::to_string(mechanism) + ".log");
    kovIntegerParam(0, KOV_TLS, 2);
    kovIntegerParam(0, KOV_AUTH_MECHANISM, mechanism);
    kovStringParam(0, KOV_OAUTH_TOKEN, kToken);
    EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), KOV_E_SMTP_ERROR);
    ASSERT_TRUE(server.WaitScript());
    const std::string received = server.Received();
    const std::string answer = mechanism == KOV_AUTH_OAUTHBEARER ? "AQ==\r\n" : "\r\n";
    ASSERT_GE(received.size(), answer.size());
    EXPECT_EQ(received.substr(received.size() - answer.size()), answer);
    char text[256];
    kovErrorText(0, KOV_E_SMTP_ERROR, text, sizeof text);
    EXPECT_STREQ(text, "SMTP returned error. 535 5.7.8 token refused\r\n");
    EXPECT_NE(LogOf(log).find("OAuth error '{\"status\":\"invalid_token\""), std::string::npos);
  }
}

// POP3 AUTH (RFC 5034): an initial response within 255 octets goes on the
// AUTH line; a longer one after the server's go-ahead.
TEST_F(MailTls, Pop3OAuthLogins) {
  const std::string longToken(300, 'T');
  for (const std::string& token : {std::string(kToken), longToken}) {
    SCOPED_TRACE(token.size());
    const std::string message = Base64(std::string("user=mrose\x01" "auth=Bearer ") + token + "\x01\x01");
    const bool inLine = token.size() < 100;
    LoopbackServer server;
    server.StartTls().Send("+OK ready\r\n").ReadLine().Send("+OK\r\nSASL PLAIN XOAUTH2\r\n.\r\n").ReadLine();
    if (!inLine) server.Send("+ \r\n").ReadLine();
    server.Send("+OK in\r\n");
    Serve(server, good_);
    kovIntegerParam(0, KOV_TLS, 2);
    kovStringParam(0, KOV_OAUTH_TOKEN, token.c_str());
    ASSERT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "unused"), 0);
    ASSERT_TRUE(server.WaitScript());
    EXPECT_EQ(server.Received(), "CAPA\r\n" + (inLine ? "AUTH XOAUTH2 " + message + "\r\n"
                                                      : "AUTH XOAUTH2\r\n" + message + "\r\n"));
    kovAbort(0);
  }
}

TEST_F(MailTls, Pop3OAuthRefusal) {
  LoopbackServer server;
  server.StartTls()
      .Send("+OK ready\r\n")
      .ReadLine()
      .Send("+OK\r\nSASL OAUTHBEARER\r\n.\r\n")
      .ReadLine()
      .Send("+ " + Base64("{\"status\":\"401\"}") + "\r\n")
      .ReadLine()
      .Send("-ERR [AUTH] token refused\r\n");
  Serve(server, good_);
  kovIntegerParam(0, KOV_TLS, 2);
  kovStringParam(0, KOV_OAUTH_TOKEN, kToken);
  EXPECT_EQ(kovPop3Connect(0, "127.0.0.1", "mrose", "unused"), KOV_E_POP3_ERROR);
  ASSERT_TRUE(server.WaitScript());
  const std::string received = server.Received();
  EXPECT_EQ(received.substr(received.size() - 6), "AQ==\r\n");
  char text[256];
  kovErrorText(0, KOV_E_POP3_ERROR, text, sizeof text);
  EXPECT_STREQ(text, "POP3 returned error. -ERR [AUTH] token refused\r\n");
}

// Stepped driving: every kovDriver call returns at once, the handshake waits
// are told through kovWaitInfo, and the session ends logged in.
TEST_F(MailTls, SteppedStartTlsAndLogin) {
  LoopbackServer server;
  StartTlsScript(server).StartTls().ReadLine().Send("250-mx.example.com\r\n250 AUTH PLAIN\r\n").ReadLine().Send(
      "235 2.7.0 ok\r\n");
  Serve(server, good_);
  const std::string log = OpenLog(0);
  kovIntegerParam(0, KOV_TLS, 1);
  kovIntegerParam(0, KOV_AUTO_CALL, 0);
  ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", kFrom, nullptr), 0);
  std::vector<int> states;
  ASSERT_EQ(DriveByHand(0, states), 0);
  CheckPlainInsideTls(server, log);
  const std::vector<int> tail = {250, 253, 254, 202, 203, 170, 171, 0};
  ASSERT_GE(states.size(), tail.size());
  EXPECT_EQ(std::vector<int>(states.end() - static_cast<long>(tail.size()), states.end()), tail);
}

}  // namespace
