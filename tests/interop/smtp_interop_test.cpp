// kovSmtpConnect and kovVerifyUser against real servers: Postfix (SASL through
// Dovecot) and smtp-server, each with every login mechanism.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "bed_settings.h"
#include "kov32.h"
#include "support/library_fixture.h"

namespace {

class SmtpInterop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_POSTFIX_PORT"].empty());
    kovIntegerParam(0, KOV_TIMEOUT, 5000);
    kovIntegerParam(0, KOV_CONNECT_WAIT, 5000);
  }
  int Port(const std::string& key) { return std::stoi(bed[key]); }
  // Connects channel 0 with EHLO and the given credentials.
  int Connect(const std::string& portKey, const std::string& user, const std::string& password) {
    kovIntegerParam(0, KOV_SMTP_PORT, Port(portKey));
    kovIntegerParam(0, KOV_USE_EHLO, 1);
    kovStringParam(0, KOV_USER, user.c_str());
    kovStringParam(0, KOV_AUTH_PASSWORD, password.c_str());
    const std::string from = "Test <" + bed["KOV_INTEROP_USER"] + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    return kovSmtpConnect(0, bed["KOV_INTEROP_HOST"].c_str(), from.c_str(), nullptr);
  }

  std::map<std::string, std::string> bed;
};

struct Server {
  const char* portKey;
  const char* mechanism;
};
const Server kServers[] = {
    {"KOV_INTEROP_POSTFIX_PORT", "CRAM-MD5"},    {"KOV_INTEROP_POSTFIX_LOGIN_PORT", "LOGIN"},
    {"KOV_INTEROP_POSTFIX_PLAIN_PORT", "PLAIN"}, {"KOV_INTEROP_SINK_PORT", "CRAM-MD5"},
    {"KOV_INTEROP_SINK_LOGIN_PORT", "LOGIN"},    {"KOV_INTEROP_SINK_PLAIN_PORT", "PLAIN"},
};

TEST_F(SmtpInterop, EveryMechanismLogsIn) {
  for (const Server& s : kServers) {
    SCOPED_TRACE(std::string(s.portKey) + " " + s.mechanism);
    const std::string log = OpenLog(0, std::string(s.portKey) + ".log");
    EXPECT_EQ(Connect(s.portKey, bed["KOV_INTEROP_USER"], bed["KOV_INTEROP_PASSWORD"]), 0);
    EXPECT_NE(LogOf(log).find(std::string("AUTH ") + s.mechanism + " ok\r\n"), std::string::npos) << LogOf(log);
    EXPECT_EQ(kovClose(0), 0);
  }
}

TEST_F(SmtpInterop, LongCredentialsGoAsOneLine) {
  for (const Server& s : kServers) {
    SCOPED_TRACE(std::string(s.portKey) + " " + s.mechanism);
    EXPECT_EQ(Connect(s.portKey, bed["KOV_INTEROP_LONG_USER"], bed["KOV_INTEROP_LONG_PASSWORD"]), 0);
    EXPECT_EQ(kovClose(0), 0);
  }
}

TEST_F(SmtpInterop, WrongPasswordIsRefusedWithTheServersText) {
  for (const Server& s : kServers) {
    SCOPED_TRACE(std::string(s.portKey) + " " + s.mechanism);
    EXPECT_EQ(Connect(s.portKey, bed["KOV_INTEROP_USER"], "not-the-password"), -49);
    char text[256];
    kovErrorText(0, -49, text, sizeof text);
    EXPECT_EQ(std::string(text).rfind("SMTP returned error. 535", 0), 0u) << text;
  }
}

TEST_F(SmtpInterop, VerifyAgainstPostfix) {
  ASSERT_EQ(Connect("KOV_INTEROP_POSTFIX_PORT", bed["KOV_INTEROP_USER"], bed["KOV_INTEROP_PASSWORD"]), 0);
  const std::string known = bed["KOV_INTEROP_USER"] + "@" + bed["KOV_INTEROP_DOMAIN"];
  EXPECT_EQ(kovVerifyUser(0, known.c_str()), 0);  // 252: cannot verify, will accept
  EXPECT_EQ(kovStatistics(0, 3), 252);
  const std::string unknown = "nobody-here@" + bed["KOV_INTEROP_DOMAIN"];
  EXPECT_EQ(kovVerifyUser(0, unknown.c_str()), 0);
  EXPECT_EQ(kovStatistics(0, 3), 550);
  EXPECT_EQ(kovClose(0), 0);
}

}  // namespace
