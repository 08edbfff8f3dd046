// OAuth 2.0 logins against the real servers: Dovecot checks every token with
// the bed's introspection endpoint, for its own POP3 and, through Postfix's
// SASL, for SMTP. XOAUTH2 and OAUTHBEARER, over STARTTLS/STLS and implicit
// TLS, are accepted with the user's token and refused with a wrong one or
// with another user's; the token shows in no log.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "bed_settings.h"
#include "kov32.h"
#include "server_log.h"
#include "support/library_fixture.h"

namespace {

struct Route {
  const char* portKey;
  int tls;
  bool smtp;
};
const Route kRoutes[] = {
    {"KOV_INTEROP_POSTFIX_SUBMISSION_PORT", 1, true},
    {"KOV_INTEROP_POSTFIX_SMTPS_PORT", 2, true},
    {"KOV_INTEROP_POP3_PORT", 1, false},
    {"KOV_INTEROP_POP3S_PORT", 2, false},
};

class OAuthInterop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_TOKEN"].empty());
    kovIntegerParam(0, KOV_PACING, 0);  // no fixed pauses; the fixture restores the setting
    kovIntegerParam(0, KOV_TIMEOUT, 10000);
    kovIntegerParam(0, KOV_CONNECT_WAIT, 5000);
    kovIntegerParam(0, KOV_DELAY, 0);
    kovStringParam(0, KOV_TLS_CA_FILE, (BedRunDir() + "/" + bed["KOV_INTEROP_CA_FILE"]).c_str());
  }
  void TearDown() override {
    kovClose(0);
    AttachedLibrary::TearDown();
  }

  // Logs `user` in with `token` and `mechanism` (KOV_AUTH_MECHANISM); no password is set.
  int Login(const Route& r, int mechanism, const std::string& user, const std::string& token) {
    kovIntegerParam(0, KOV_TLS, r.tls);
    kovIntegerParam(0, KOV_AUTH_MECHANISM, mechanism);
    kovStringParam(0, KOV_OAUTH_TOKEN, token.c_str());
    kovStringParam(0, KOV_USER, user.c_str());
    kovStringParam(0, KOV_AUTH_PASSWORD, "");
    const std::string host = bed["KOV_INTEROP_HOST"];
    const int port = std::stoi(bed[r.portKey]);
    if (!r.smtp) {
      kovIntegerParam(0, KOV_POP3_PORT, port);
      return kovPop3Connect(0, host.c_str(), user.c_str(), "not-the-password");
    }
    kovIntegerParam(0, KOV_SMTP_PORT, port);
    const std::string from = "<" + user + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    return kovSmtpConnect(0, host.c_str(), from.c_str(), nullptr);
  }

  std::map<std::string, std::string> bed;
};

const struct {
  int mechanism;
  const char* name;  // as the log names the mechanism chosen
} kMechanisms[] = {
    {KOV_AUTH_XOAUTH2, "XOAUTH2"},
    {KOV_AUTH_OAUTHBEARER, "OAUTHBEARER"},
    {KOV_AUTH_AUTOMATIC, "OAUTHBEARER"},  // both offered: OAUTHBEARER first
};

TEST_F(OAuthInterop, TheUsersTokenLogsIn) {
  for (const Route& r : kRoutes) {
    for (const auto& m : kMechanisms) {
      SCOPED_TRACE(std::string(r.portKey) + " " + std::to_string(m.mechanism));
      const std::string log = OpenLog(0, std::string(r.portKey) + m.name + ".log");
      EXPECT_EQ(Login(r, m.mechanism, bed["KOV_INTEROP_USER"], bed["KOV_INTEROP_TOKEN"]), 0) << LogOf(log);
      EXPECT_NE(LogOf(log).find(std::string("AUTH ") + m.name + " ok\r\n"), std::string::npos) << LogOf(log);
      if (!r.smtp) {
        EXPECT_GE(kovGetEmailCount(0), 0);  // the mailbox is open
      }
      EXPECT_EQ(kovClose(0), 0);
      EXPECT_EQ(LogOf(log).find(bed["KOV_INTEROP_TOKEN"]), std::string::npos) << LogOf(log);
    }
  }
}

TEST_F(OAuthInterop, WrongTokensAreRefusedWithTheServersText) {
  const ServerLog postfix("postfix/postfix.log");
  const ServerLog dovecot("dovecot/dovecot.log");
  const std::string wrong[] = {"kov32-token-nobody-knows", bed["KOV_INTEROP_TOKEN2"]};  // unknown; bob's
  for (const Route& r : kRoutes) {
    for (const auto& m : kMechanisms) {
      if (m.mechanism == KOV_AUTH_AUTOMATIC) continue;  // the same exchange as OAUTHBEARER
      for (const std::string& token : wrong) {
        SCOPED_TRACE(std::string(r.portKey) + " " + m.name + " " + token);
        const int expected = r.smtp ? KOV_E_SMTP_ERROR : KOV_E_POP3_ERROR;
        EXPECT_EQ(Login(r, m.mechanism, bed["KOV_INTEROP_USER"], token), expected);
        char text[512];
        kovErrorText(0, expected, text, sizeof text);
        const std::string prefix = r.smtp ? "SMTP returned error. 535" : "POP3 returned error. -ERR";
        EXPECT_EQ(std::string(text).rfind(prefix, 0), 0u) << text;
        EXPECT_EQ(kovClose(0), 0);
      }
    }
  }
  // Neither server wrote a token down.
  const std::string seen = postfix.Await("authentication failed") + dovecot.Await("auth failed");
  for (const std::string& token : {bed["KOV_INTEROP_TOKEN"], bed["KOV_INTEROP_TOKEN2"]}) {
    EXPECT_EQ(seen.find(token), std::string::npos) << seen;
  }
}

}  // namespace
