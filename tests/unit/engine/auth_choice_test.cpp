// The login mechanism an EHLO reply leads to, and credentials encoded as one
// base64 line.
#include <gtest/gtest.h>

#include <string>

#include "codec/base64.h"
#include "engine/smtp/smtp.h"
#include "engine/frame/states.h"

namespace {

TEST(AuthChoice, PreferenceNotOrderDecides) {
  struct Case {
    const char* reply;
    int state;
  } cases[] = {
      {"250-mx\r\n250-AUTH LOGIN PLAIN\r\n250 OK\r\n", LoginStart},
      {"250-mx\r\n250-AUTH PLAIN CRAM-MD5\r\n250 OK\r\n", CramStart},
      {"250-mx\r\n250-AUTH PLAIN\r\n250 OK\r\n", PlainStart},
      {"250-mx\r\n250 AUTH=LOGIN\r\n", LoginStart},
      {"250-mx\r\n250-auth plain login\r\n250 ok\r\n", LoginStart},
      {"250-mx\r\n250-AUTH PLAIN\r\n250-AUTH=LOGIN CRAM-MD5\r\n250 OK\r\n", CramStart},
      {"250-mx\r\n250-AUTH GSSAPI XOAUTH2\r\n250 OK\r\n", Done},
      {"250-mx\r\n250-SIZE 1000\r\n250 8BITMIME\r\n", Done},
      // Keywords count only from the first AUTH on.
      {"250-LOGIN PLAIN host\r\n250 AUTH GSSAPI\r\n", Done},
      {"", Done},
  };
  for (const auto& t : cases) EXPECT_EQ(ChooseAuthState(t.reply), t.state) << t.reply;
}

std::string Decode(const std::string& line) {
  std::string out(line.size() + 8, '\0');
  int n = DecodeBuffer(line.data(), &out[0], static_cast<int>(line.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

TEST(AuthChoice, CredentialsAreOneBase64Line) {
  for (int length : {0, 1, 2, 3, 56, 57, 58, 114, 130, 194}) {
    SCOPED_TRACE(length);
    std::string source;
    for (int i = 0; i < length; ++i) source += static_cast<char>(i * 7 % 256);
    char out[400];
    int n = EncodeOneLine(source.data(), length, out, sizeof out);
    std::string line(out, static_cast<size_t>(n));
    ASSERT_GE(n, 2);
    EXPECT_EQ(line.find("\r\n"), line.size() - 2);
    EXPECT_EQ(static_cast<size_t>(n), 4 * ((source.size() + 2) / 3) + 2);
    EXPECT_EQ(Decode(line), source);
  }
  char small[10];
  EXPECT_EQ(EncodeOneLine("abcdefgh", 8, small, sizeof small), 0);
}

}  // namespace
