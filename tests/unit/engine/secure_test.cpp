// What a server's EHLO and CAPA answers offer, the OAuth mechanism chosen
// from them, and the OAuth command lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec/base64.h"
#include "engine/frame/secure.h"
#include "kov32.h"

namespace {

TEST(Offers, EhloReplies) {
  struct Case {
    const char* reply;
    uint32_t offers;
  } cases[] = {
      {"250-mx.example.com\r\n250-STARTTLS\r\n250 AUTH PLAIN\r\n", kOffersTls},
      {"250-mx\r\n250-starttls\r\n250-AUTH PLAIN XOAUTH2 OAUTHBEARER\r\n250 8BITMIME\r\n",
       kOffersTls | kOffersXoauth2 | kOffersOauthBearer},
      {"250-mx\r\n250 AUTH=XOAUTH2\r\n", kOffersXoauth2},
      // Only the keyword of a line counts, and only whole.
      {"250-mx STARTTLS\r\n250-STARTTLSX\r\n250 X-STARTTLS\r\n", 0},
      {"250-mx\r\n250-SIZE 100 XOAUTH2\r\n250 AUTH PLAIN\r\n", 0},
      {"250-mx\r\n250-AUTH PLAIN\r\n250 XOAUTH2\r\n", 0},
      {"250 STARTTLS", kOffersTls},
      {"250\r\n", 0},
      {"", 0},
  };
  for (const auto& t : cases) EXPECT_EQ(EhloOffers(t.reply), t.offers) << t.reply;
}

TEST(Offers, CapaLines) {
  struct Case {
    const char* line;
    uint32_t offers;
  } cases[] = {
      {"STLS\r\n", kOffersTls},
      {"stls", kOffersTls},
      {"STLSX\r\n", 0},
      {"SASL PLAIN XOAUTH2\r\n", kOffersXoauth2},
      {"SASL OAUTHBEARER\r\n", kOffersOauthBearer},
      {"USER XOAUTH2\r\n", 0},
      {"SASLXOAUTH2\r\n", 0},
  };
  for (const auto& t : cases) EXPECT_EQ(CapabilityOffers(t.line), t.offers) << t.line;
}

struct Record {
  std::unique_ptr<ChannelContext> c = std::make_unique<ChannelContext>();
};

TEST(OAuthChoice, TokenMeetsOfferOrMechanismForced) {
  struct Case {
    int mechanism;
    bool token;
    uint32_t offers;
    int chosen;
  } cases[] = {
      {KOV_AUTH_AUTOMATIC, true, kOffersXoauth2 | kOffersOauthBearer, KOV_AUTH_OAUTHBEARER},
      {KOV_AUTH_AUTOMATIC, true, kOffersXoauth2, KOV_AUTH_XOAUTH2},
      {KOV_AUTH_AUTOMATIC, true, kOffersTls, 0},
      {KOV_AUTH_AUTOMATIC, false, kOffersXoauth2 | kOffersOauthBearer, 0},
      {KOV_AUTH_XOAUTH2, false, 0, KOV_AUTH_XOAUTH2},
      {KOV_AUTH_OAUTHBEARER, true, kOffersXoauth2, KOV_AUTH_OAUTHBEARER},
      {KOV_AUTH_PLAIN, true, kOffersXoauth2 | kOffersOauthBearer, 0},
      {KOV_AUTH_CRAM_MD5, true, kOffersOauthBearer, 0},
  };
  for (const auto& t : cases) {
    Record r;
    r.c->security.AuthMechanism = static_cast<uint8_t>(t.mechanism);
    r.c->security.Offers = t.offers;
    if (t.token) r.c->security.OAuthToken[0] = 't';
    EXPECT_EQ(ChooseOAuth(*r.c), t.chosen) << t.mechanism << " " << t.token << " " << t.offers;
  }
}

std::string Decode(const std::string& text) {
  std::string out(text.size() + 8, '\0');
  out.resize(static_cast<size_t>(DecodeBuffer(text.data(), &out[0], static_cast<int>(text.size()))));
  return out;
}

TEST(OAuthCommand, InitialResponseAsOneLine) {
  Record r;
  ChannelContext& c = *r.c;
  strcpy(c.login.UserName, "alice@example.com");
  strcpy(c.link.ServerName, "mail.example.com");
  c.link.ConnectPort = 587;
  strcpy(c.security.OAuthToken, "ya29.token");
  char line[kOAuthLineSize];
  int shown = 0;
  c.security.OAuthMechanism = KOV_AUTH_OAUTHBEARER;
  int n = BuildOAuthCommand(c, true, line, sizeof line, shown);
  std::string text(line, static_cast<size_t>(n));
  ASSERT_EQ(text.rfind("AUTH OAUTHBEARER ", 0), 0u) << text;
  EXPECT_EQ(shown, 17);
  EXPECT_EQ(text.find("\r\n"), text.size() - 2);
  EXPECT_EQ(Decode(text.substr(17, text.size() - 19)),
            std::string("n,a=alice@example.com,\x01host=mail.example.com\x01port=587\x01" "auth=Bearer ya29.token\x01\x01"));
  c.security.OAuthMechanism = KOV_AUTH_XOAUTH2;
  n = BuildOAuthCommand(c, false, line, sizeof line, shown);
  EXPECT_EQ(std::string(line, static_cast<size_t>(n)), "AUTH XOAUTH2\r\n");
  n = BuildOAuthResponse(c, line, sizeof line);
  EXPECT_EQ(Decode(std::string(line, static_cast<size_t>(n))),
            std::string("user=alice@example.com\x01" "auth=Bearer ya29.token\x01\x01"));
}

TEST(OAuthCommand, LongestTokenUserAndHostFit) {
  Record r;
  ChannelContext& c = *r.c;
  memset(c.login.UserName, ',', 64);  // escaped to three characters each
  memset(c.link.ServerName, 'h', 128);
  c.link.ConnectPort = -1;  // the widest port text the record can hold: 65535
  memset(c.security.OAuthToken, 'T', 4096);
  c.security.OAuthMechanism = KOV_AUTH_OAUTHBEARER;
  char line[kOAuthLineSize];
  int shown = 0;
  const int n = BuildOAuthCommand(c, true, line, sizeof line, shown);
  ASSERT_GT(n, 0);
  EXPECT_LT(n, kOAuthLineSize);
  EXPECT_NE(Decode(std::string(line + shown, static_cast<size_t>(n - shown))).find("port=65535"), std::string::npos);
}

}  // namespace
