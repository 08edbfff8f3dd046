// The OAuth client messages before base64, and whole-word capability search.
#include <gtest/gtest.h>

#include <string>

#include "codec/sasl.h"

namespace {

TEST(Sasl, Xoauth2Message) {
  char out[128];
  int n = BuildXoauth2("someuser@example.com", "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg", out, sizeof out);
  EXPECT_EQ(std::string(out, static_cast<size_t>(n)),
            std::string("user=someuser@example.com\x01" "auth=Bearer ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg\x01\x01"));
  // Exactly full: the text and its NUL; one byte less does not fit.
  const int whole = BuildXoauth2("u", "t", out, sizeof out);
  EXPECT_EQ(BuildXoauth2("u", "t", out, whole + 1), whole);
  EXPECT_EQ(BuildXoauth2("u", "t", out, whole), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(BuildXoauth2("u", "t", nullptr, 10), 0);
}

TEST(Sasl, OauthBearerMessage) {
  struct Case {
    const char* user;
    const char* host;
    int port;
    const char* expected;
  } cases[] = {
      // The example of RFC 7628 section 4.1.
      {"user@example.com", "server.example.com", 143,
       "n,a=user@example.com,\x01host=server.example.com\x01port=143\x01" "auth=Bearer vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==\x01\x01"},
      // ',' and '=' in the name are escaped so that the header keeps its shape.
      {"a,b=c", "h", 587,
       "n,a=a=2Cb=3Dc,\x01host=h\x01port=587\x01" "auth=Bearer vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==\x01\x01"},
  };
  for (const auto& t : cases) {
    char out[256];
    int n = BuildOauthBearer(t.user, t.host, t.port, "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==", out, sizeof out);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), t.expected) << t.user;
  }
  char small[20];
  EXPECT_EQ(BuildOauthBearer("user", "host", 25, "token", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  // An escape that would not fit whole is not cut.
  char tight[8];
  EXPECT_EQ(BuildOauthBearer(",", "", 1, "", tight, 6), 0);
}

TEST(Sasl, WholeWords) {
  struct Case {
    const char* text;
    const char* word;
    bool found;
  } cases[] = {
      {"AUTH PLAIN XOAUTH2", "XOAUTH2", true},
      {"AUTH PLAIN XOAUTH2\r\n", "xoauth2", true},
      {"AUTH=XOAUTH2 PLAIN", "XOAUTH2", true},
      {"AUTH XOAUTH2X PLAIN", "XOAUTH2", false},
      {"AUTH XOAUTH2-PLUS", "XOAUTH2", false},
      {"AUTH NOTXOAUTH2", "XOAUTH2", false},
      {"AUTH NOTXOAUTH2 XOAUTH2", "XOAUTH2", true},
      {"250-STARTTLS", "STARTTLS", true},
      {"", "STARTTLS", false},
      {"STARTTLS", "", false},
  };
  for (const auto& t : cases) EXPECT_EQ(HasWord(t.text, t.word), t.found) << t.text << " / " << t.word;
}

}  // namespace
