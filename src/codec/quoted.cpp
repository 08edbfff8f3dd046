#include "codec/quoted.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// How each byte is written: its output characters, padded with zeros to four
// bytes so that one store writes them, and their number (1 or 3).
struct QuoteTable {
  uint32_t chars[256];
  unsigned char length[256];
};
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "output characters are stored as little-endian words");
constexpr QuoteTable MakeQuoteTable() {
  QuoteTable t{};
  for (uint32_t ch = 0; ch < 256; ++ch) {
    bool copied = ch >= 0x20 && ch <= 0x7E && ch != '=';
    t.chars[ch] = copied ? ch
                         : '=' | static_cast<uint32_t>(kHexDigits[ch >> 4]) << 8 |
                               static_cast<uint32_t>(kHexDigits[ch & 15]) << 16;
    t.length[ch] = copied ? 1 : 3;
  }
  return t;
}
constexpr QuoteTable kQuote = MakeQuoteTable();

// What an '=' at index `i` of the first `end` characters of `s` starts.
enum class Escape { kKept, kByte, kSoftBreak };
Escape EscapeAt(const char* s, int i, int end) {
  const int after = end - i - 1;
  if (after >= 1 && (s[i + 1] == '"' || s[i + 1] == '?')) return Escape::kKept;
  if (after >= 2 && s[i + 1] != '\r') return Escape::kByte;
  return Escape::kSoftBreak;
}

}  // namespace

int HexDigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return 0;
}

int QuoteChar(char ch, char* out) {
  const unsigned char u = static_cast<unsigned char>(ch);
  memcpy(out, &kQuote.chars[u], kQuote.length[u]);
  return kQuote.length[u];
}

int QuoteTextChar(char ch, bool lineEnds, char* out) {
  if (lineEnds && ch == ' ') {
    memcpy(out, "=20", 3);
    return 3;
  }
  return QuoteChar(ch, out);
}

int QuoteSpan(const char* text, int length, char* out, int room, int& taken) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  int n = 0;
  int i = 0;
  for (; i < length && n + kQuote.length[s[i]] <= room; ++i) {
    // One 4-byte store: only zeros land past the characters counted.
    memcpy(out + n, &kQuote.chars[s[i]], 4);
    n += kQuote.length[s[i]];
  }
  taken = i;
  return n;
}

int QuoteBuffer(const char* text, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  int n = 0;
  if (text != nullptr) {
    // n < size - 3 leaves room for the 4-byte store; only zeros land past the
    // characters counted, and the NUL covers the first of them.
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s != '\0' && n < size - 3; ++s) {
      memcpy(out + n, &kQuote.chars[*s], 4);
      n += kQuote.length[*s];
    }
  }
  out[n] = '\0';
  return n;
}

int DecodeQuoted(const char* text, int length, bool lineEnd, Carry& carry, char* out) {
  if (out == nullptr) return 0;
  if (text == nullptr || length < 0) length = 0;
  // Decoded in place after the characters kept from the last piece: every
  // byte written consumes at least one, so writing never overtakes reading.
  const int kept = carry.length <= 2 ? carry.length : 0;
  if (length > 0) memmove(out + kept, text, static_cast<size_t>(length));
  memcpy(out, carry.bytes, static_cast<size_t>(kept));
  carry.length = 0;
  char* s = out;
  const int total = kept + length;
  const int lineEndLength = lineEnd ? LineEndLength(s, total) : 0;
  const int end = total - lineEndLength;
  int n = 0;
  for (int i = 0; i < end;) {
    const void* next = memchr(s + i, '=', static_cast<size_t>(end - i));
    const int run = next != nullptr ? static_cast<int>(static_cast<const char*>(next) - (s + i)) : end - i;
    memmove(s + n, s + i, static_cast<size_t>(run));
    n += run;
    i += run;
    if (i == end) break;
    const Escape escape = EscapeAt(s, i, end);
    if (escape == Escape::kSoftBreak) {
      // An escape or soft break cut by the end of the piece waits for the rest.
      if (!lineEnd && end - i <= 2) {
        carry.length = static_cast<uint8_t>(end - i);
        memcpy(carry.bytes, s + i, carry.length);
      }
      return n;  // a soft line break: the line end goes
    }
    s[n++] = escape == Escape::kKept ? s[i] : static_cast<char>(16 * HexDigitValue(s[i + 1]) + HexDigitValue(s[i + 2]));
    i += escape == Escape::kKept ? 1 : 3;
  }
  memmove(s + n, s + end, static_cast<size_t>(lineEndLength));
  return n + lineEndLength;
}
