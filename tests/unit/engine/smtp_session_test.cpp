// The argument checks of kovSmtpConnect and kovVerifyUser, which need no
// server. Greeting, HELO/EHLO, the login mechanisms and VRFY are transcripts
// in tests/transcripts/smtp.
#include <gtest/gtest.h>

#include <string>

#include "kov32.h"
#include "support/library_fixture.h"

namespace {

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
    Channel(2).link.ChannelKind = 0;
    EXPECT_EQ(kovSmtpConnect(2, t.server, t.from, nullptr), t.result);
    // The channel is an SMTP channel even when a check fails.
    EXPECT_EQ(Channel(2).link.ChannelKind, 'S');
  }
  EXPECT_EQ(kovSmtpConnect(4, "mx", "<a@b>", nullptr), -73);
}

TEST_F(SmtpArguments, MissingBracketIsLoggedAsAFailure) {
  const std::string log = OpenLog(0);
  EXPECT_EQ(kovSmtpConnect(0, "mx", "joe@example.com", nullptr), -41);
  EXPECT_NE(LogOf(log).find("KovCode=-41"), std::string::npos);
  EXPECT_NE(LogOf(log).find("Missing '<' delimiter in email address."), std::string::npos);
}

TEST_F(SmtpArguments, VerifyWithoutAConnectionIsRefusedAtOnce) {
  Channel(3).link.ChannelKind = kSmtpChannel;
  EXPECT_EQ(kovVerifyUser(3, "bob"), -44);
}

TEST_F(SmtpArguments, VerifyNeedsAnSmtpChannelAndNames) {
  EXPECT_EQ(kovVerifyUser(3, "bob"), -58);
  Channel(3).link.ChannelKind = 'S';
  EXPECT_EQ(kovVerifyUser(3, nullptr), -45);
  EXPECT_EQ(kovVerifyUser(3, ""), -45);
}

}  // namespace
