// Body decoders: base64 as a stream of groups, quoted-printable piece by
// piece, and the line end held back before a boundary.
#include "engine/mime/body.h"

#include <cstring>
#include <initializer_list>

#include "codec/quoted.h"

namespace {

constexpr int kSkip = -1;

// Sextet values, kSkip for the blanks and line ends between groups, 0 for
// every other character.
struct SextetTable {
  signed char value[256];
};
constexpr SextetTable MakeSextetTable() {
  SextetTable t{};
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t.value[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
  for (unsigned char blank : {' ', '\t', '\r', '\n'}) t.value[blank] = kSkip;
  return t;
}
constexpr SextetTable kSextets = MakeSextetTable();

int DecodeGroup(const char* q, char* out) {
  auto v = [](char ch) { return kSextets.value[static_cast<unsigned char>(ch)]; };
  const int bits = v(q[0]) << 18 | v(q[1]) << 12 | v(q[2]) << 6 | v(q[3]);
  out[0] = static_cast<char>(bits >> 16);
  out[1] = static_cast<char>(bits >> 8);
  out[2] = static_cast<char>(bits);
  if (q[3] != '=') return 3;
  return q[2] == '=' ? 1 : 2;
}

// Length of the line end (CR LF, LF or CR) that closes `length` bytes.
int LineEndLength(const char* data, int length) {
  if (length >= 2 && data[length - 2] == '\r' && data[length - 1] == '\n') return 2;
  if (length >= 1 && (data[length - 1] == '\n' || data[length - 1] == '\r')) return 1;
  return 0;
}

bool NoSkip(const char* q) {
  auto v = [](char ch) { return kSextets.value[static_cast<unsigned char>(ch)]; };
  return (v(q[0]) | v(q[1]) | v(q[2]) | v(q[3])) >= 0;
}

}  // namespace

int DecodeBase64Stream(const char* text, int length, Carry& carry, char* out) {
  char group[4];
  int filled = carry.length;
  memcpy(group, carry.bytes, static_cast<size_t>(filled));
  int n = 0;
  for (int i = 0; i < length; ++i) {
    // Whole groups straight from the text while nothing is pending.
    while (filled == 0 && i + 4 <= length && NoSkip(text + i)) {
      n += DecodeGroup(text + i, out + n);
      i += 4;
    }
    if (i == length) break;
    if (kSextets.value[static_cast<unsigned char>(text[i])] == kSkip) continue;
    group[filled++] = text[i];
    if (filled == 4) {
      n += DecodeGroup(group, out + n);
      filled = 0;
    }
  }
  memcpy(carry.bytes, group, static_cast<size_t>(filled));
  carry.length = static_cast<uint8_t>(filled);
  return n;
}

int DecodeQuotedPiece(const char* text, int length, bool lineEnd, Carry& carry, char* out) {
  // Decoded in place after the characters kept from the last piece: every
  // byte written consumes at least one, so writing never overtakes reading.
  const int kept = carry.length;
  memmove(out + kept, text, static_cast<size_t>(length));
  memcpy(out, carry.bytes, static_cast<size_t>(kept));
  carry.length = 0;
  char* s = out;
  const int total = kept + length;
  const int lineEndLength = lineEnd ? LineEndLength(s, total) : 0;
  const int end = total - lineEndLength;
  int n = 0;
  int i = 0;
  while (i < end) {
    const void* next = memchr(s + i, '=', static_cast<size_t>(end - i));
    const int run = next != nullptr ? static_cast<int>(static_cast<const char*>(next) - (s + i)) : end - i;
    memmove(s + n, s + i, static_cast<size_t>(run));
    n += run;
    i += run;
    if (i == end) break;
    const int after = end - i - 1;
    if (after >= 1 && (s[i + 1] == '"' || s[i + 1] == '?')) {
      s[n++] = s[i++];
      continue;
    }
    if (after >= 2 && s[i + 1] != '\r') {
      s[n++] = static_cast<char>(16 * HexDigitValue(s[i + 1]) + HexDigitValue(s[i + 2]));
      i += 3;
      continue;
    }
    if (!lineEnd && end - i <= 2) {
      // An escape or soft break cut by the end of the piece waits for the rest.
      carry.length = static_cast<uint8_t>(end - i);
      memcpy(carry.bytes, s + i, carry.length);
    }
    return n;  // a soft line break: the line end goes
  }
  memmove(s + n, s + total - lineEndLength, static_cast<size_t>(lineEndLength));
  return n + lineEndLength;
}

int HoldLineEnd(const char* data, int length, Carry& held, char* out) {
  memcpy(out, held.bytes, held.length);
  memcpy(out + held.length, data, static_cast<size_t>(length));
  const int total = held.length + length;
  const int end = LineEndLength(out, total);
  memcpy(held.bytes, out + total - end, static_cast<size_t>(end));
  held.length = static_cast<uint8_t>(end);
  return total - end;
}
