// MD5 (RFC 1321), HMAC-MD5 (RFC 2104) and the hexadecimal text of a digest.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kDigestSize = 16;
constexpr int kDigestHexSize = 2 * kDigestSize + 1;

struct Md5Context {
  uint32_t state[4];
  uint32_t count[2];  // bits processed: low word, high word
  unsigned char buffer[64];
};

void Md5Init(Md5Context& context);
void Md5Update(Md5Context& context, const void* data, size_t length);
// Writes the digest and clears the whole context.
void Md5Final(unsigned char digest[kDigestSize], Md5Context& context);

// HMAC-MD5 with a 64-byte block; a key longer than 64 bytes is replaced by its
// MD5 digest. Negative lengths count as 0.
void HmacMd5(const void* text, int textLength, const void* key, int keyLength, unsigned char digest[kDigestSize]);

// 32 lowercase hexadecimal digits, high nibble first, and a NUL. Returns text.
char* DigestToHex(const unsigned char digest[kDigestSize], char text[kDigestHexSize]);
