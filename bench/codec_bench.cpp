// Throughput of the codecs on 64 MB of random data, next to memcpy on the
// same machine: base64 encode and decode (76-character CR LF lines),
// quoted-printable encode and MD5. Each figure is the best of five runs.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "codec/base64.h"
#include "codec/md5.h"
#include "kov32.h"

namespace {

constexpr int kDataSize = 64 << 20;

template <typename Work>
void Measure(const char* name, double megabytes, Work work) {
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto start = std::chrono::steady_clock::now();
    work();
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    if (seconds.count() < best) best = seconds.count();
  }
  printf("%-34s %9.0f MB/s\n", name, megabytes / best);
}

}  // namespace

int main() {
  std::vector<char> data(kDataSize);
  std::mt19937_64 random(42);
  for (size_t i = 0; i < data.size(); i += 8) {
    uint64_t word = random();
    memcpy(&data[i], &word, 8);
  }
  const double megabytes = kDataSize / 1e6;

  std::vector<char> copy(kDataSize);
  Measure("memcpy", megabytes, [&] { memcpy(copy.data(), data.data(), data.size()); });

  std::vector<char> encoded(static_cast<size_t>(EncodedSize(kDataSize)));
  int encodedLength = 0;
  Measure("kovEncodeBuffer (input)", megabytes,
          [&] { encodedLength = kovEncodeBuffer(data.data(), encoded.data(), kDataSize); });

  std::vector<char> decoded(static_cast<size_t>(kDataSize) + 4);
  int decodedLength = 0;
  Measure("kovDecodeBuffer (output)", megabytes,
          [&] { decodedLength = kovDecodeBuffer(encoded.data(), decoded.data(), encodedLength); });
  if (decodedLength != kDataSize || memcmp(decoded.data(), data.data(), data.size()) != 0) {
    printf("FAIL: the decoded data differs\n");
    return 1;
  }

  // Quoting takes a NUL-terminated text: the random bytes without their NULs.
  std::vector<char> text(data);
  for (char& ch : text) ch = ch == '\0' ? 'x' : ch;
  text.push_back('\0');
  std::vector<char> quoted(3 * static_cast<size_t>(kDataSize) + 4);
  Measure("kovQuoteBuffer (input)", megabytes,
          [&] { kovQuoteBuffer(text.data(), quoted.data(), static_cast<int>(quoted.size())); });

  unsigned char digest[kDigestSize];
  Measure("MD5", megabytes, [&] {
    Md5Context context;
    Md5Init(context);
    Md5Update(context, data.data(), data.size());
    Md5Final(digest, context);
  });
  return 0;
}
