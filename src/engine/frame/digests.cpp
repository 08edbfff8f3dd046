#include "engine/frame/digests.h"

#include <cstdio>
#include <cstring>

#include "codec/md5.h"
#include "codec/strings.h"

namespace {

// Characters of a fixed field before its NUL, never past the field.
template <size_t N>
int FieldLength(const char (&field)[N]) {
  const void* end = memchr(field, '\0', N);
  return static_cast<int>(end == nullptr ? N : static_cast<const char*>(end) - field);
}

// AuthText := UserName, one blank, the digest's hexadecimal text.
void FormatUserDigest(ChannelContext& c, const unsigned char digest[kDigestSize]) {
  char hex[kDigestHexSize];
  snprintf(c.login.AuthText, sizeof c.login.AuthText, "%.*s %s", FieldLength(c.login.UserName), c.login.UserName, DigestToHex(digest, hex));
}

}  // namespace

void CramMd5Response(ChannelContext& c, const char* challenge, int length) {
  int cut = FindCharN(challenge, '\r', length);
  unsigned char digest[kDigestSize];
  HmacMd5(challenge, cut < 0 ? length : cut, c.login.AuthPassword, FieldLength(c.login.AuthPassword), digest);
  FormatUserDigest(c, digest);
}

void ApopDigest(ChannelContext& c) {
  Md5Context context;
  Md5Init(context);
  Md5Update(context, c.login.AuthText, static_cast<size_t>(FieldLength(c.login.AuthText)));
  Md5Update(context, c.login.Pop3Password, static_cast<size_t>(FieldLength(c.login.Pop3Password)));
  unsigned char digest[kDigestSize];
  Md5Final(digest, context);
  FormatUserDigest(c, digest);
}
