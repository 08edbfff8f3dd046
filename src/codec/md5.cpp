#include "codec/md5.h"

#include <cstring>

namespace {

// floor(|sin(i + 1)| * 2^32) for the 64 steps.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Which message word each step of rounds 2 to 4 takes.
constexpr int WordIndex(int step) {
  return step < 16 ? step : step < 32 ? (5 * step + 1) % 16 : step < 48 ? (3 * step + 5) % 16 : (7 * step) % 16;
}

inline uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

struct F {
  static uint32_t Mix(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
};
struct G {
  static uint32_t Mix(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
};
struct H {
  static uint32_t Mix(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
};
struct I {
  static uint32_t Mix(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
};

// One round of 16 steps, four at a time with the words in their rotated roles.
template <typename Mix, int First, int S0, int S1, int S2, int S3>
inline void Round(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const uint32_t* x) {
  for (int i = First; i < First + 16; i += 4) {
    a = b + Rotate(a + Mix::Mix(b, c, d) + x[WordIndex(i)] + kSine[i], S0);
    d = a + Rotate(d + Mix::Mix(a, b, c) + x[WordIndex(i + 1)] + kSine[i + 1], S1);
    c = d + Rotate(c + Mix::Mix(d, a, b) + x[WordIndex(i + 2)] + kSine[i + 2], S2);
    b = c + Rotate(b + Mix::Mix(c, d, a) + x[WordIndex(i + 3)] + kSine[i + 3], S3);
  }
}

void Transform(uint32_t state[4], const unsigned char block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    const unsigned char* p = block + 4 * i;
    x[i] = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  Round<F, 0, 7, 12, 17, 22>(a, b, c, d, x);
  Round<G, 16, 5, 9, 14, 20>(a, b, c, d, x);
  Round<H, 32, 4, 11, 16, 23>(a, b, c, d, x);
  Round<I, 48, 6, 10, 15, 21>(a, b, c, d, x);
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void PutWordLe(unsigned char* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

void Md5Init(Md5Context& context) {
  context.state[0] = 0x67452301;
  context.state[1] = 0xefcdab89;
  context.state[2] = 0x98badcfe;
  context.state[3] = 0x10325476;
  context.count[0] = context.count[1] = 0;
  memset(context.buffer, 0, sizeof context.buffer);
}

void Md5Update(Md5Context& context, const void* data, size_t length) {
  if (data == nullptr || length == 0) return;
  const unsigned char* in = static_cast<const unsigned char*>(data);
  size_t used = (context.count[0] >> 3) & 63;
  uint64_t bits =
      (static_cast<uint64_t>(context.count[1]) << 32 | context.count[0]) + (static_cast<uint64_t>(length) << 3);
  context.count[0] = static_cast<uint32_t>(bits);
  context.count[1] = static_cast<uint32_t>(bits >> 32);
  if (used > 0) {
    size_t take = length < 64 - used ? length : 64 - used;
    memcpy(context.buffer + used, in, take);
    in += take;
    length -= take;
    if (used + take < 64) return;
    Transform(context.state, context.buffer);
  }
  for (; length >= 64; in += 64, length -= 64) Transform(context.state, in);
  memcpy(context.buffer, in, length);
}

void Md5Final(unsigned char digest[kDigestSize], Md5Context& context) {
  unsigned char length[8];
  PutWordLe(length, context.count[0]);
  PutWordLe(length + 4, context.count[1]);
  // A 0x80 byte, then zeros up to 56 bytes modulo 64, then the bit count.
  static const unsigned char kPadding[64] = {0x80};
  size_t used = (context.count[0] >> 3) & 63;
  Md5Update(context, kPadding, used < 56 ? 56 - used : 120 - used);
  Md5Update(context, length, sizeof length);
  for (int i = 0; i < 4; ++i) PutWordLe(digest + 4 * i, context.state[i]);
  memset(&context, 0, sizeof context);
}

void HmacMd5(const void* text, int textLength, const void* key, int keyLength, unsigned char digest[kDigestSize]) {
  unsigned char block[64] = {};
  Md5Context context;
  if (key != nullptr && keyLength > 64) {
    Md5Init(context);
    Md5Update(context, key, static_cast<size_t>(keyLength));
    Md5Final(block, context);
  } else if (key != nullptr && keyLength > 0) {
    memcpy(block, key, static_cast<size_t>(keyLength));
  }
  unsigned char pad[64];
  for (int i = 0; i < 64; ++i) pad[i] = block[i] ^ 0x36;
  unsigned char inner[kDigestSize];
  Md5Init(context);
  Md5Update(context, pad, sizeof pad);
  if (textLength > 0) Md5Update(context, text, static_cast<size_t>(textLength));
  Md5Final(inner, context);
  for (int i = 0; i < 64; ++i) pad[i] = block[i] ^ 0x5c;
  Md5Init(context);
  Md5Update(context, pad, sizeof pad);
  Md5Update(context, inner, sizeof inner);
  Md5Final(digest, context);
  memset(block, 0, sizeof block);
  memset(pad, 0, sizeof pad);
}

char* DigestToHex(const unsigned char digest[kDigestSize], char text[kDigestHexSize]) {
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < kDigestSize; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 15];
  }
  text[2 * kDigestSize] = '\0';
  return text;
}
