#include "codec/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two characters for every 12-bit value: one lookup encodes half a group.
struct PairTable {
  char pair[4096][2];
};
constexpr PairTable MakePairs() {
  PairTable t{};
  for (int v = 0; v < 4096; ++v) {
    t.pair[v][0] = kAlphabet[v >> 6];
    t.pair[v][1] = kAlphabet[v & 63];
  }
  return t;
}
constexpr PairTable kPairs = MakePairs();

// The decoded bytes of a group of four are built as one little-endian word:
// each table holds a character's 6 bits already placed in the bytes it feeds
// (first byte lowest); characters outside the alphabet give zero bits. In the
// unused top byte CR and LF set kLineEndBit, blank and tab kBlankBit, and '='
// in the last two places kPadBit, so that one test of a group's word finds a
// group that needs more than its 3 bytes stored.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "groups are stored as little-endian words");
constexpr uint32_t kLineEndBit = 0x80000000u;
constexpr uint32_t kBlankBit = 0x40000000u;
constexpr uint32_t kPadBit = 0x20000000u;
constexpr uint32_t kGroupBits = 0x00FFFFFFu;
using PlaceTable = std::array<uint32_t, 256>;
constexpr PlaceTable MakePlaced(int position) {
  PlaceTable t{};
  for (uint32_t v = 0; v < 64; ++v) {
    uint32_t bits = v << (18 - 6 * position);  // the group's 24 bits, first byte highest
    t[static_cast<unsigned char>(kAlphabet[v])] = (bits >> 16 & 0xFF) | (bits & 0xFF00) | (bits & 0xFF) << 16;
  }
  t['\r'] = t['\n'] = kLineEndBit;
  t[' '] = t['\t'] = kBlankBit;
  if (position >= 2) t['='] = kPadBit;
  return t;
}
constexpr PlaceTable kPlace0 = MakePlaced(0);
constexpr PlaceTable kPlace1 = MakePlaced(1);
constexpr PlaceTable kPlace2 = MakePlaced(2);
constexpr PlaceTable kPlace3 = MakePlaced(3);

inline void EncodeGroup(uint32_t bits, char* out) {
  memcpy(out, kPairs.pair[bits >> 12], 2);
  memcpy(out + 2, kPairs.pair[bits & 0xFFF], 2);
}

inline uint32_t GroupWord(const unsigned char* s) {
  return kPlace0[s[0]] | kPlace1[s[1]] | kPlace2[s[2]] | kPlace3[s[3]];
}

// Stores a group's word, its 3 bytes and a fourth one that the next group
// overwrites; returns how many of them count: a group ending in '=' gives 2,
// one ending in "==" gives 1.
inline int StoreGroup(uint32_t word, const unsigned char* group, char* out) {
  word &= kGroupBits;
  memcpy(out, &word, 4);
  if (group[3] != '=') return 3;
  return group[2] == '=' ? 1 : 2;
}

// Decodes whole groups straight from the text, up to the end or the first
// group that holds a character to pass over or padding; `out` moves past the
// bytes.
const unsigned char* DecodeGroups(const unsigned char* s, const unsigned char* end, uint32_t skipped, char*& out) {
  const uint32_t stop = skipped | kPadBit;
  char* o = out;  // a local pointer: stores through `out` could alias it
  for (; end - s >= 4; s += 4, o += 3) {
    const uint32_t word = GroupWord(s);
    if ((word & stop) != 0) break;
    memcpy(o, &word, 4);
  }
  out = o;
  return s;
}

}  // namespace

int EncodeLine(const char* source, char* out, int count) {
  if (source == nullptr || out == nullptr || count <= 0) return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
  char* o = out;
  int left = count;
  for (; left >= 3; left -= 3, s += 3, o += 4) {
    EncodeGroup(static_cast<uint32_t>(s[0]) << 16 | static_cast<uint32_t>(s[1]) << 8 | s[2], o);
  }
  if (left > 0) {
    uint32_t bits = static_cast<uint32_t>(s[0]) << 16 | (left == 2 ? static_cast<uint32_t>(s[1]) << 8 : 0);
    EncodeGroup(bits, o);
    o[3] = '=';
    if (left == 1) o[2] = '=';
    o += 4;
  }
  o[0] = '\r';
  o[1] = '\n';
  return static_cast<int>(o - out);
}

int EncodedSize(int length) {
  if (length <= 0) return 0;
  int64_t n = length;
  int64_t size = 4 * ((n + 2) / 3) + 2 * ((n + kBase64LineBytes - 1) / kBase64LineBytes);
  return size > INT32_MAX ? -1 : static_cast<int>(size);
}

int EncodeBuffer(const char* source, char* out, int length) {
  if (source == nullptr || out == nullptr || EncodedSize(length) <= 0) return 0;
  char* o = out;
  for (int done = 0; done < length; done += kBase64LineBytes) {
    int count = length - done < kBase64LineBytes ? length - done : kBase64LineBytes;
    o += EncodeLine(source + done, o, count) + 2;
  }
  return static_cast<int>(o - out);
}

int DecodeBase64(const char* text, int length, Carry& carry, Base64Skip skip, char* out) {
  if (out == nullptr) return 0;
  const uint32_t skipped = skip == Base64Skip::kLineEnds ? kLineEndBit : kLineEndBit | kBlankBit;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = text != nullptr && length > 0 ? s + length : s;
  unsigned char group[4];
  int filled = carry.length < 4 ? carry.length : 0;
  memcpy(group, carry.bytes, static_cast<size_t>(filled));
  char* o = out;
  while (s < end) {
    if (filled == 0) {
      s = DecodeGroups(s, end, skipped, o);
      if (s == end) break;
    }
    // A group cut by a character to pass over or by a call, or padded.
    if ((kPlace0[*s] & skipped) == 0) group[filled++] = *s;
    ++s;
    if (filled == 4) {
      o += StoreGroup(GroupWord(group), group, o);
      filled = 0;
    }
  }
  memcpy(carry.bytes, group, static_cast<size_t>(filled));
  carry.length = static_cast<uint8_t>(filled);
  return static_cast<int>(o - out);
}

int DecodeBuffer(const char* source, char* out, int length) {
  if (source == nullptr || out == nullptr || length <= 0) return 0;
  Carry carry{};
  const int n = DecodeBase64(source, length, carry, Base64Skip::kLineEnds, out);
  memset(out + n, 0, 4);
  return n;
}

int FinishBase64(Carry& carry, char* out) {
  const int filled = carry.length < 4 ? carry.length : 0;
  carry.length = 0;
  if (out == nullptr || filled < 2 || carry.bytes[0] == '=' || carry.bytes[1] == '=') return 0;
  unsigned char group[4] = {static_cast<unsigned char>(carry.bytes[0]), static_cast<unsigned char>(carry.bytes[1]),
                            '=', '='};
  if (filled == 3) group[2] = static_cast<unsigned char>(carry.bytes[2]);
  return StoreGroup(GroupWord(group), group, out);
}

int EncodeOneLine(const char* source, int length, char* out, int size) {
  const int needed = 4 * ((length + 2) / 3) + 2;
  if (length < 0 || size < needed + 1) return 0;
  // Whole 57-byte lines encode without padding, so each line's CR LF is
  // overwritten by the next one and only the last line keeps it.
  int written = 0;
  for (int done = 0; done < length; done += kBase64LineBytes) {
    int count = length - done < kBase64LineBytes ? length - done : kBase64LineBytes;
    written += EncodeLine(source + done, out + written, count);
  }
  out[written++] = '\r';
  out[written++] = '\n';
  out[written] = '\0';
  return written;
}
