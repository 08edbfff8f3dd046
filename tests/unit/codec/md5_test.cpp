// MD5 against the RFC 1321 suite, fed whole and in pieces that straddle the
// 64-byte blocks; HMAC-MD5 against the RFC 2104 and RFC 2202 vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "codec/md5.h"

namespace {

std::string Hex(const unsigned char digest[kDigestSize]) {
  char hex[kDigestHexSize];
  return DigestToHex(digest, hex);
}

TEST(Md5, Rfc1321SuiteWholeAndInPieces) {
  const char* cases[][2] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    const std::string text = c[0];
    for (size_t piece : {1000, 1, 7, 63, 64, 65}) {
      Md5Context context;
      Md5Init(context);
      for (size_t at = 0; at < text.size(); at += piece) {
        Md5Update(context, text.data() + at, std::min(piece, text.size() - at));
      }
      unsigned char digest[kDigestSize];
      Md5Final(digest, context);
      EXPECT_EQ(Hex(digest), c[1]) << text << " in pieces of " << piece;
    }
  }
}

TEST(HmacMd5, Rfc2104AndRfc2202Vectors) {
  std::string key25;
  for (char i = 1; i <= 25; ++i) key25 += i;
  const std::string cases[][3] = {
      {std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {std::string(16, '\xaa'), std::string(50, '\xdd'), "56be34521d144c88dbb8c733f0e8b3f6"},
      {key25, std::string(50, '\xcd'), "697eaf0aca3a3aea3a75164746ffaa79"},
      {std::string(16, '\x0c'), "Test With Truncation", "56461ef2342edc00f9bab995690efd4c"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "6f630fad67cda0ee1fb1f562db3aa53e"},
  };
  for (const auto& c : cases) {
    unsigned char digest[kDigestSize];
    HmacMd5(c[1].data(), static_cast<int>(c[1].size()), c[0].data(), static_cast<int>(c[0].size()), digest);
    EXPECT_EQ(Hex(digest), c[2]) << c[1];
  }
}

}  // namespace
