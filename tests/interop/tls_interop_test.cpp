// TLS against the real servers: messages with a megabyte attachment sent
// through Postfix after STARTTLS on the submission port and with implicit
// TLS, stored with a Received header that names TLS 1.3, then fetched from
// Dovecot after STLS and over pop3s, byte for byte. The servers' certificate
// passes only against the bed's CA and for its own name; a refused
// certificate, a server without STARTTLS and a token on a plain connection
// all end the call before any credential leaves, as the servers' logs show.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bed_settings.h"
#include "kov32.h"
#include "server_log.h"
#include "stored_mail.h"
#include "support/library_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTls13 = 0x0304;

// A port of the bed and how the library secures it (KOV_TLS).
struct Route {
  const char* portKey;
  int tls;
};
const Route kSmtpRoutes[] = {{"KOV_INTEROP_POSTFIX_SUBMISSION_PORT", 1}, {"KOV_INTEROP_POSTFIX_SMTPS_PORT", 2}};
const Route kPop3Routes[] = {{"KOV_INTEROP_POP3_PORT", 1}, {"KOV_INTEROP_POP3S_PORT", 2}};

std::string RouteName(const Route& r) { return std::string(r.portKey) + (r.tls == 1 ? " STARTTLS" : " implicit"); }

class TlsInterop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_CA_FILE"].empty());
    user = bed["KOV_INTEROP_USER"];
    address = "<" + user + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    maildir = fs::path(BedRunDir()) / "mail" / user;
    kovIntegerParam(0, KOV_PACING, 0);  // no fixed pauses; the fixture restores the setting
    for (int channel : {0, 1}) {
      kovIntegerParam(channel, KOV_TIMEOUT, 10000);
      kovIntegerParam(channel, KOV_CONNECT_WAIT, 5000);
      kovIntegerParam(channel, KOV_DELAY, 0);
    }
  }
  void TearDown() override {
    kovClose(0);
    AttachedLibrary::TearDown();
  }

  std::string BedFile(const std::string& key) { return BedRunDir() + "/" + bed[key]; }
  int Port(const Route& r) { return std::stoi(bed[r.portKey]); }

  // KOV_TLS and the certificates to trust ("" for the system's).
  void Secure(int tls, const std::string& caFile) {
    EXPECT_EQ(kovIntegerParam(0, KOV_TLS, tls), 1);
    kovStringParam(0, KOV_TLS_CA_FILE, caFile.c_str());
  }
  int SmtpLogin(const Route& r, const std::string& password) {
    kovIntegerParam(0, KOV_SMTP_PORT, Port(r));
    kovIntegerParam(0, KOV_USE_EHLO, 1);
    kovStringParam(0, KOV_USER, user.c_str());
    kovStringParam(0, KOV_AUTH_PASSWORD, password.c_str());
    return kovSmtpConnect(0, bed["KOV_INTEROP_HOST"].c_str(), address.c_str(), nullptr);
  }
  int Pop3Login(const Route& r) {
    kovIntegerParam(0, KOV_POP3_PORT, Port(r));
    return kovPop3Connect(0, bed["KOV_INTEROP_HOST"].c_str(), user.c_str(), bed["KOV_INTEROP_PASSWORD"].c_str());
  }

  // Fails when a server's log text shows a login by the user (other tests
  // log in as other users meanwhile) or holds the password or the token.
  void ExpectNoCredential(const std::string& seen) {
    for (const std::string& mark : {"sasl_username=" + user, "user=<" + user + ">", bed["KOV_INTEROP_PASSWORD"],
                                    bed["KOV_INTEROP_TOKEN"]})
      EXPECT_EQ(seen.find(mark), std::string::npos) << mark << " in\n" << seen;
  }

  // The message number of every message of the mailbox by its Subject, from
  // TOP n 0.
  std::map<std::string, int> NumbersBySubject() {
    std::map<std::string, int> numbers;
    const int count = kovGetEmailCount(0);
    std::vector<char> head(65536);
    for (int n = 1; n <= count; ++n) {
      const int length = kovGetEmailLines(0, n, 0, head.data(), static_cast<int>(head.size()));
      EXPECT_GT(length, 0) << n;
      if (length > 0) numbers[SubjectOf(std::string(head.data(), static_cast<size_t>(length)))] = n;
    }
    return numbers;
  }

  // RETR of message n in raw mode: the whole file as received.
  std::string Retrieve(int n, const std::string& name) {
    kovIntegerParam(0, KOV_DECODE_MODE, 1);
    EXPECT_EQ(kovGetEmailFile(0, n, name.c_str(), dir.Path().c_str(), dir.Path().c_str()), 0) << n;
    return ReadAll(dir.File(name));
  }

  std::map<std::string, std::string> bed;
  std::string user;
  std::string address;
  fs::path maildir;
};

TEST_F(TlsInterop, SendsOverStartTlsAndImplicitTlsAndFetchesOverStlsAndPop3s) {
  std::map<std::string, std::string> sent;  // Subject -> the stored message (Dovecot moves its file)
  // A megabyte attachment: many TLS records each way, split anywhere in a line.
  std::mt19937 random(11);
  std::string binary(1 << 20, '\0');
  for (char& ch : binary) ch = static_cast<char>(random() & 0xFF);
  const std::string attachment = dir.File("figures.bin");
  std::ofstream(attachment, std::ios::binary) << binary;
  for (const Route& r : kSmtpRoutes) {
    SCOPED_TRACE(RouteName(r));
    const std::string subject = "kov32 tls " + RouteName(r);
    const std::string log = OpenLog(0, std::string(r.portKey) + ".log");
    Secure(r.tls, BedFile("KOV_INTEROP_CA_FILE"));
    ASSERT_EQ(SmtpLogin(r, bed["KOV_INTEROP_PASSWORD"]), 0) << LogOf(log);
    EXPECT_EQ(kovStatistics(0, KOV_STAT_TLS), kTls13);
    ASSERT_EQ(kovSendEmail(0, address.c_str(), nullptr, nullptr, subject.c_str(), "Sent over TLS.\r\n.dot\r\n",
                           attachment.c_str()),
              0)
        << LogOf(log);
    EXPECT_EQ(kovClose(0), 0);
    EXPECT_EQ(kovStatistics(0, KOV_STAT_TLS), 0);
    const std::string text = LogOf(log);
    EXPECT_NE(text.find("S: AUTH "), std::string::npos) << text;
    if (r.tls == 1) {
      EXPECT_LT(text.find("S: STARTTLS\r\n"), text.find("S: AUTH ")) << text;
    }
    const fs::path file = AwaitStored(maildir, subject);
    ASSERT_FALSE(file.empty()) << "Postfix did not store " << subject;
    const std::string stored = sent[subject] = ReadAll(file);
    EXPECT_NE(stored.find("(using TLSv1.3 with cipher "), std::string::npos) << stored;
    EXPECT_NE(stored.find(" with ESMTPSA id "), std::string::npos) << stored;
  }

  for (const Route& r : kPop3Routes) {
    SCOPED_TRACE(RouteName(r));
    Secure(r.tls, BedFile("KOV_INTEROP_CA_FILE"));
    ASSERT_EQ(Pop3Login(r), 0);
    EXPECT_EQ(kovStatistics(0, KOV_STAT_TLS), kTls13);
    char session[512];
    EXPECT_GT(kovDebug(0, KOV_DEBUG_TLS, session, sizeof session), 0);
    EXPECT_NE(std::string(session).find("KOV32 test bed ca"), std::string::npos) << session;
    const std::map<std::string, int> numbers = NumbersBySubject();
    for (const auto& [subject, stored] : sent) {
      ASSERT_EQ(numbers.count(subject), 1u) << subject;
      const std::string raw = Retrieve(numbers.at(subject), "raw.eml");
      EXPECT_TRUE(raw.substr(raw.find("\r\n") + 2) == Stuffed(WithCrLf(stored)))
          << subject << ": the download differs from the stored file";
    }
    // The last session deletes what was sent: DELE and QUIT over TLS.
    if (&r == &kPop3Routes[1]) {
      for (const auto& [subject, stored] : sent) {
        EXPECT_EQ(kovDeleteEmail(0, numbers.at(subject)), 0);
      }
    }
    EXPECT_EQ(kovClose(0), 0);
  }
  const auto left = MaildirBySubject(maildir);
  for (const auto& [subject, stored] : sent) EXPECT_EQ(left.count(subject), 0u) << subject << " was not deleted";
}

// The certificate is checked against the CA file and for the server's name;
// a refusal ends the call before the login, so no server sees a credential.
TEST_F(TlsInterop, CertificateIsCheckedBeforeAnyCredentialGoes) {
  const struct {
    const char* label;
    const char* caKey;  // empty: the system's certificates
    const char* serverName;
    int verify;
    int expected;
  } cases[] = {
      {"the bed CA", "KOV_INTEROP_CA_FILE", "", 1, 0},
      {"the bed CA, the name localhost", "KOV_INTEROP_CA_FILE", "localhost", 1, 0},
      {"the system's CAs", "", "", 1, KOV_E_TLS_CERTIFICATE},
      {"another CA", "KOV_INTEROP_OTHER_CA_FILE", "", 1, KOV_E_TLS_CERTIFICATE},
      {"a name the certificate lacks", "KOV_INTEROP_CA_FILE", "mx.example.com", 1, KOV_E_TLS_CERTIFICATE},
      {"another CA, verification off", "KOV_INTEROP_OTHER_CA_FILE", "", 0, 0},
  };
  for (const auto& c : cases) {
    for (const Route& r : {kSmtpRoutes[0], kSmtpRoutes[1], kPop3Routes[0], kPop3Routes[1]}) {
      SCOPED_TRACE(std::string(c.label) + ", " + RouteName(r));
      const bool smtp = std::string(r.portKey).find("POSTFIX") != std::string::npos;
      const ServerLog serverLog(smtp ? "postfix/postfix.log" : "dovecot/dovecot.log");
      Secure(r.tls, c.caKey[0] != '\0' ? BedFile(c.caKey) : "");
      kovStringParam(0, KOV_TLS_SERVER_NAME, c.serverName);
      kovIntegerParam(0, KOV_TLS_VERIFY, c.verify);
      const int rc = smtp ? SmtpLogin(r, bed["KOV_INTEROP_PASSWORD"]) : Pop3Login(r);
      EXPECT_EQ(rc, c.expected);
      EXPECT_EQ(kovClose(0), 0);
      if (c.expected == 0) continue;
      // The server logs the failed handshake, and no login after it.
      const std::string seen = serverLog.Await("SSL_accept");
      EXPECT_NE(seen.find("SSL_accept"), std::string::npos) << seen;
      ExpectNoCredential(seen);
    }
  }
  kovStringParam(0, KOV_TLS_SERVER_NAME, "");
  kovIntegerParam(0, KOV_TLS_VERIFY, 1);
}

// TLS is never given up for plain text: a server without STARTTLS gets
// nothing after EHLO, and a token is not sent without TLS even where the
// server would take AUTH.
TEST_F(TlsInterop, FailsClosedWithoutTls) {
  {
    SCOPED_TRACE("STARTTLS required, smtp-server does not offer it");
    const std::string log = OpenLog(0, "sink.log");
    Secure(1, BedFile("KOV_INTEROP_CA_FILE"));
    EXPECT_EQ(SmtpLogin({"KOV_INTEROP_SINK_PORT", 1}, bed["KOV_INTEROP_PASSWORD"]), KOV_E_TLS_NOT_OFFERED);
    EXPECT_EQ(kovClose(0), 0);
    EXPECT_EQ(LogOf(log).find("S: AUTH"), std::string::npos) << LogOf(log);
    EXPECT_EQ(LogOf(log).find("S: MAIL FROM"), std::string::npos) << LogOf(log);
  }
  {
    SCOPED_TRACE("a token on the submission port without TLS");
    const ServerLog postfix("postfix/postfix.log");
    const std::string log = OpenLog(0, "submission.log");
    Secure(0, "");
    kovStringParam(0, KOV_OAUTH_TOKEN, bed["KOV_INTEROP_TOKEN"].c_str());
    kovIntegerParam(0, KOV_AUTH_MECHANISM, KOV_AUTH_XOAUTH2);
    EXPECT_EQ(SmtpLogin(kSmtpRoutes[0], ""), KOV_E_AUTH_NEEDS_TLS);
    EXPECT_EQ(kovClose(0), 0);
    EXPECT_EQ(LogOf(log).find("S: AUTH"), std::string::npos) << LogOf(log);
    ExpectNoCredential(postfix.Await("disconnect from"));
  }
  {
    SCOPED_TRACE("a token on the POP3 port without TLS");
    const ServerLog dovecot("dovecot/dovecot.log");
    const std::string log = OpenLog(0, "pop3.log");
    Secure(0, "");
    kovIntegerParam(0, KOV_POP3_PORT, std::stoi(bed["KOV_INTEROP_POP3_PORT"]));
    EXPECT_EQ(kovPop3Connect(0, bed["KOV_INTEROP_HOST"].c_str(), user.c_str(), ""), KOV_E_AUTH_NEEDS_TLS);
    EXPECT_EQ(kovClose(0), 0);
    EXPECT_EQ(LogOf(log).find("S: AUTH"), std::string::npos) << LogOf(log);
    ExpectNoCredential(dovecot.Await("no auth attempts"));
  }
  kovStringParam(0, KOV_OAUTH_TOKEN, "");
  kovIntegerParam(0, KOV_AUTH_MECHANISM, KOV_AUTH_AUTOMATIC);
}

}  // namespace
