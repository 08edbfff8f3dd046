// kovSmtpConnect and kovVerifyUser against the scripted server: greeting,
// HELO/EHLO, each login mechanism and VRFY, each transcript run automatically,
// by hand and with a server writing one byte at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kov32.h"
#include "support/driver_fixture.h"

namespace {

class SmtpSession : public DriverTest {
 protected:
  // Starts the server and runs kovSmtpConnect on channel 1 against it.
  int ConnectSmtp(LoopbackServer& server, const char* from = "Joe <joe@example.com>") {
    server.Start();
    kovIntegerParam(1, KOV_SMTP_PORT, server.Port());
    return Finish(1, kovSmtpConnect(1, "127.0.0.1", from, nullptr));
  }
  // A server that greets and reads the HELO/EHLO line.
  void Greet(LoopbackServer& server) {
    Reply(server, "220 mx.example.com ESMTP\r\n");
    server.ReadLine();
  }
  void UseEhlo(const char* user, const char* password) {
    kovIntegerParam(1, KOV_USE_EHLO, 1);
    kovStringParam(1, KOV_USER, user);
    kovStringParam(1, KOV_AUTH_PASSWORD, password);
  }
  std::string ErrorText(int code) {
    char text[256];
    kovErrorText(1, code, text, sizeof text);
    return text;
  }
};

TEST_P(SmtpSession, HeloWithTheSendersDomain) {
  LoopbackServer server;
  Greet(server);
  Reply(server, "250 mx.example.com\r\n");
  EXPECT_EQ(ConnectSmtp(server), 0);
  if (Manual()) {
    EXPECT_EQ(states, (std::vector<int>{101, 104, 105, 106, 201, 202, 203, 0}));
  }
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "HELO example.com\r\n");
}

TEST_P(SmtpSession, DefaultDomainWithoutAnAt) {
  LoopbackServer server;
  Greet(server);
  Reply(server, "250 ok\r\n");
  EXPECT_EQ(ConnectSmtp(server, "Postmaster <postmaster>"), 0);
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "HELO localhost\r\n");
}

TEST_P(SmtpSession, LoginWithUnusualPrompts) {
  UseEhlo("alice", "secret");
  LoopbackServer server;
  Greet(server);
  Reply(server, "250-mx.example.com\r\n250-SIZE 100\r\n250-AUTH LOGIN PLAIN\r\n250 OK\r\n");
  server.ReadLine();
  Reply(server, "334 Who are you?\r\n");
  server.ReadLine();
  Reply(server, "334 And the word?\r\n");
  server.ReadLine();
  Reply(server, "235 2.7.0 welcome\r\n");
  const std::string log = OpenLog(1);
  EXPECT_EQ(ConnectSmtp(server), 0);
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "EHLO example.com\r\nAUTH LOGIN\r\nYWxpY2U=\r\nc2VjcmV0\r\n");
  EXPECT_NE(LogOf(log).find("AUTH LOGIN ok\r\n"), std::string::npos);
  EXPECT_NE(LogOf(log).find("KOV Win32 Version 3.5.0 Build 8\r\n"), std::string::npos);
}

TEST_P(SmtpSession, PlainCredentialsInTheCommand) {
  UseEhlo("alice", "secret");
  LoopbackServer server;
  Greet(server);
  Reply(server, "250-mx\r\n250 auth plain\r\n");
  server.ReadLine();
  Reply(server, "235 ok\r\n");
  EXPECT_EQ(ConnectSmtp(server), 0);
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "EHLO example.com\r\nAUTH PLAIN YWxpY2UAYWxpY2UAc2VjcmV0\r\n");
}

TEST_P(SmtpSession, CramMd5ExchangeOfRfc2195) {
  UseEhlo("tim", "tanstaaftanstaaf");
  LoopbackServer server;
  Greet(server);
  Reply(server, "250-mx\r\n250-AUTH=LOGIN\r\n250 AUTH PLAIN LOGIN CRAM-MD5\r\n");
  server.ReadLine();
  Reply(server, "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n");
  server.ReadLine();
  Reply(server, "235 Authentication successful\r\n");
  const std::string log = OpenLog(1);
  EXPECT_EQ(ConnectSmtp(server), 0);
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(),
            "EHLO example.com\r\nAUTH CRAM-MD5\r\ndGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n");
  EXPECT_NE(LogOf(log).find("Challenge '<1896.697170952@postoffice.reston.mci.net>'\r\n"), std::string::npos);
  EXPECT_NE(LogOf(log).find("AUTH CRAM-MD5 ok\r\n"), std::string::npos);
}

TEST_P(SmtpSession, NoLoginWhenNoneIsOffered) {
  UseEhlo("alice", "secret");
  LoopbackServer server;
  Greet(server);
  Reply(server, "250-mx\r\n250 8BITMIME\r\n");
  EXPECT_EQ(ConnectSmtp(server), 0);
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "EHLO example.com\r\n");
}

TEST_P(SmtpSession, RejectedEhloFailsWithTheServersText) {
  kovIntegerParam(1, KOV_USE_EHLO, 1);
  LoopbackServer server;
  Greet(server);
  Reply(server, "554 5.7.1 go away\r\n");
  EXPECT_EQ(ConnectSmtp(server), -49);
  EXPECT_EQ(ErrorText(-49), "SMTP returned error. 554 5.7.1 go away\r\n");
  EXPECT_EQ(Channel(1).HoldsSlot, 0);
}

TEST_P(SmtpSession, RejectedLoginFails) {
  UseEhlo("alice", "wrong");
  LoopbackServer server;
  Greet(server);
  Reply(server, "250 AUTH PLAIN\r\n");
  server.ReadLine();
  Reply(server, "535 5.7.8 authentication failed\r\n");
  EXPECT_EQ(ConnectSmtp(server), -49);
  EXPECT_EQ(ErrorText(-49), "SMTP returned error. 535 5.7.8 authentication failed\r\n");
}

TEST_P(SmtpSession, VerifyEveryEntryAndAnswerForTheLast) {
  LoopbackServer server;
  Greet(server);
  Reply(server, "250 mx\r\n");
  server.ReadLine();
  Reply(server, "550 unknown\r\n");
  server.ReadLine();
  Reply(server, "250 <bob@example.com>\r\n");
  server.ReadLine();
  Reply(server, "252 cannot verify\r\n");
  ASSERT_EQ(ConnectSmtp(server), 0);
  int rc = Finish(1, kovVerifyUser(1, "nobody, bob"));
  EXPECT_EQ(rc, Manual() ? 0 : 1);
  EXPECT_EQ(kovStatistics(1, 24), 1);
  rc = Finish(1, kovVerifyUser(1, "carol"));
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(kovStatistics(1, 24), 0);
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "HELO example.com\r\nVRFY nobody\r\nVRFY  bob\r\nVRFY carol\r\n");
}

INSTANTIATE_TEST_SUITE_P(Modes, SmtpSession,
                         ::testing::Values(DriveMode::kAutomatic, DriveMode::kManual, DriveMode::kSlowServer),
                         DriveModeName);

using SmtpArguments = AttachedLibrary;

TEST_F(SmtpArguments, ChecksInTheirOrder) {
  struct Case {
    const char* server;
    const char* from;
    int result;
  } cases[] = {
      {nullptr, "<a@b>", -50}, {"mx", nullptr, -38},       {"m<x", "<a@b>", -56},       {"a@b", "<a@b>", -56},
      {"mx", "", -37},         {"mx", "joe@example", -41}, {"mx", "<joe@example", -43}, {"mx", ">joe@x<", -43},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.result);
    Channel(2).ChannelKind = 0;
    EXPECT_EQ(kovSmtpConnect(2, t.server, t.from, nullptr), t.result);
    // The channel is an SMTP channel even when a check fails.
    EXPECT_EQ(Channel(2).ChannelKind, 'S');
  }
  EXPECT_EQ(kovSmtpConnect(4, "mx", "<a@b>", nullptr), -73);
}

TEST_F(SmtpArguments, MissingBracketIsLoggedAsAFailure) {
  const std::string log = OpenLog(0);
  EXPECT_EQ(kovSmtpConnect(0, "mx", "joe@example.com", nullptr), -41);
  EXPECT_NE(LogOf(log).find("KovCode=-41"), std::string::npos);
  EXPECT_NE(LogOf(log).find("Missing '<' delimiter in email address."), std::string::npos);
}

TEST_F(SmtpArguments, VerifyWithoutAConnectionTimesOut) {
  Channel(3).ChannelKind = 'S';
  kovIntegerParam(3, KOV_TIMEOUT, 100);
  EXPECT_EQ(kovVerifyUser(3, "bob"), -8);
}

TEST_F(SmtpArguments, VerifyNeedsAnSmtpChannelAndNames) {
  EXPECT_EQ(kovVerifyUser(3, "bob"), -58);
  Channel(3).ChannelKind = 'S';
  EXPECT_EQ(kovVerifyUser(3, nullptr), -45);
  EXPECT_EQ(kovVerifyUser(3, ""), -45);
}

}  // namespace
