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
// (first byte lowest); characters outside the alphabet give zero bits. CR and
// NUL also set kChunkEnd in the unused top byte, so that the buffer decoder
// finds the end of a chunk while it decodes.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "groups are stored as little-endian words");
constexpr uint32_t kChunkEnd = 0x80000000u;
using PlaceTable = std::array<uint32_t, 256>;
constexpr PlaceTable MakePlaced(int position) {
  PlaceTable t{};
  for (uint32_t v = 0; v < 64; ++v) {
    uint32_t bits = v << (18 - 6 * position);  // the group's 24 bits, first byte highest
    t[static_cast<unsigned char>(kAlphabet[v])] = (bits >> 16 & 0xFF) | (bits & 0xFF00) | (bits & 0xFF) << 16;
  }
  t['\r'] = t['\0'] = kChunkEnd;
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

// Stores a group's 3 bytes; the fourth byte written is either the next
// group's first or part of the line's cleared tail.
inline void StoreGroup(uint32_t word, char* out) { memcpy(out, &word, 4); }

// Ends a line of `count` characters whose groups are decoded: clears the 4
// bytes after them and gives the result less the padding.
int FinishLine(const char* source, char* out, int count) {
  if (count < 3) return 0;
  const int groups = count / 4;
  memset(out + 3 * groups, 0, 4);
  int result = 3 * groups;
  if (groups > 0 && source[4 * groups - 1] == '=') {
    --result;
    if (source[4 * groups - 2] == '=') --result;
  }
  return result;
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

int DecodeLine(const char* source, char* out, int count) {
  if (source == nullptr || out == nullptr || count < 3) return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
  for (int g = 0; g < count / 4; ++g) StoreGroup(GroupWord(s + 4 * g), out + 3 * g);
  return FinishLine(source, out, count);
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

int DecodeBuffer(const char* source, char* out, int length) {
  if (source == nullptr || out == nullptr || length <= 0) return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(source);
  const unsigned char* end = s + length;
  int total = 0;
  while (s < end) {
    // Decode whole groups up to the one that holds a CR or NUL, or the end.
    const unsigned char* p = s;
    char* o = out + total;
    for (uint32_t word; end - p >= 4 && !((word = GroupWord(p)) & kChunkEnd); p += 4, o += 3) StoreGroup(word, o);
    const unsigned char* stop = p;
    while (stop < end && *stop != '\r' && *stop != '\0') ++stop;
    const char* chunk = reinterpret_cast<const char*>(s);
    if (stop < end && *stop == '\0') {
      // A NUL before any CR: the chunk is all the rest, CRs included.
      return total + DecodeLine(chunk, out + total, static_cast<int>(end - s));
    }
    // The chunk ends at the CR (or the end) inside the group where decoding stopped.
    total += FinishLine(chunk, out + total, static_cast<int>(stop - s));
    s = stop;
    while (s < end && (*s == '\r' || *s == '\n')) ++s;
  }
  return total;
}
