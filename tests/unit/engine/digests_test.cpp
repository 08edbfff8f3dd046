// The CRAM-MD5 and APOP responses built in a channel record, and the Date
// header of the present moment.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "codec/date.h"
#include "codec/md5.h"
#include "engine/compose/compose.h"
#include "engine/frame/digests.h"

namespace {

TEST(Digests, Rfc2195AndRfc1939Examples) {
  ChannelContext c = {};
  strcpy(c.login.UserName, "tim");
  strcpy(c.login.AuthPassword, "tanstaaftanstaaf");
  // A challenge followed by CR LF gives the same response as without them.
  for (const char* challenge :
       {"<1896.697170952@postoffice.reston.mci.net>", "<1896.697170952@postoffice.reston.mci.net>\r\nmore"}) {
    CramMd5Response(c, challenge, static_cast<int>(strlen(challenge)));
    EXPECT_STREQ(c.login.AuthText, "tim b913a602c7eda7a495b4e6e7334d3890");
  }
  strcpy(c.login.UserName, "mrose");
  strcpy(c.login.Pop3Password, "tanstaaf");
  strcpy(c.login.AuthText, "<1896.697170952@dbc.mtview.ca.us>");
  ApopDigest(c);
  EXPECT_STREQ(c.login.AuthText, "mrose c4c9334bac560ecc979e58001b3e22fb");
}

TEST(Digests, CramMd5DigestsAChallengeLongerThanAuthText) {
  ChannelContext c = {};
  strcpy(c.login.UserName, "u");
  strcpy(c.login.AuthPassword, "key");
  const std::string challenge = "<" + std::string(400, 'c') + "@host>";
  CramMd5Response(c, challenge.data(), static_cast<int>(challenge.size()));
  unsigned char digest[kDigestSize];
  HmacMd5(challenge.data(), static_cast<int>(challenge.size()), "key", 3, digest);
  char hex[kDigestHexSize];
  EXPECT_EQ(std::string(c.login.AuthText), std::string("u ") + DigestToHex(digest, hex));
}

TEST(Digests, ApopDigestsAFullTimestampWithAFullPassword) {
  // 128 + 64 characters: more than AuthText holds, yet all of it is digested.
  ChannelContext c = {};
  const std::string stamp = "<" + std::string(126, 's') + ">", password(64, 'p');
  strcpy(c.login.AuthText, stamp.c_str());
  strcpy(c.login.Pop3Password, password.c_str());
  strcpy(c.login.UserName, "u");
  ApopDigest(c);
  unsigned char digest[kDigestSize];
  Md5Context md5;
  Md5Init(md5);
  Md5Update(md5, (stamp + password).data(), stamp.size() + password.size());
  Md5Final(digest, md5);
  char hex[kDigestHexSize];
  EXPECT_EQ(std::string(c.login.AuthText), std::string("u ") + DigestToHex(digest, hex));
}

TEST(DateNow, IsAWellFormedHeaderLine) {
  char out[kDateHeaderSize];
  DateHeaderNow(out, sizeof out);
  EXPECT_TRUE(std::regex_match(out, std::regex("Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), [1-9][0-9]? "
                                               "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
                                               "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}")))
      << out;
}

}  // namespace
