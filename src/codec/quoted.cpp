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

}  // namespace

int IsPrintable(char ch) {
  unsigned char u = static_cast<unsigned char>(ch);
  return u >= 0x20 && u <= 0x7E ? 1 : 0;
}

int HexDigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 0;
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

int DecodeQuotedLine(const char* line, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  int n = 0;
  const char* s = line == nullptr ? "" : line;
  while (*s != '\0' && n < size - 1) {
    if (*s != '=') {
      out[n++] = *s++;
    } else if (s[1] == '"' || s[1] == '?') {
      out[n++] = *s++;
    } else if (s[1] == '\r' || s[1] == '\0' || s[2] == '\0') {
      break;
    } else {
      out[n++] = static_cast<char>(16 * HexDigitValue(s[1]) + HexDigitValue(s[2]));
      s += 3;
    }
  }
  out[n] = '\0';
  return n;
}
