// Quoted and RFC 2231 parameter values.
#include "codec/parameters.h"

#include <cstdio>
#include <cstring>

#include "codec/encoded_words.h"
#include "codec/strings.h"

namespace {

constexpr int kLineMax = 78;

bool AttributeChar(unsigned char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
         (ch != '\0' && strchr("!#$&+-.^_`|~", ch) != nullptr);
}

// The percent-encoded form of one byte: its length, 1 or 3.
int PercentChar(unsigned char ch, char* out) {
  if (AttributeChar(ch)) {
    out[0] = static_cast<char>(ch);
    return 1;
  }
  snprintf(out, 4, "%%%02X", ch);
  return 3;
}

int EncodedLength(const unsigned char* s) {
  int n = 0;
  for (char piece[4]; *s != '\0'; ++s) n += PercentChar(*s, piece);
  return n;
}

// Appends `n` bytes; false when they do not fit with the NUL.
bool Append(char* out, int size, int& used, const char* s, int n) {
  if (n > size - 1 - used) return false;
  memcpy(out + used, s, static_cast<size_t>(n));
  used += n;
  return true;
}

}  // namespace

int EscapeQuoted(const char* value, char* out, int size) {
  if (out == nullptr || size < 1) return -1;
  int used = 0;
  for (const char* p = value != nullptr ? value : ""; *p != '\0'; ++p) {
    if ((*p == '"' || *p == '\\') && !Append(out, size, used, "\\", 1)) return -1;
    if (!Append(out, size, used, p, 1)) return -1;
  }
  out[used] = '\0';
  return used;
}

int ExtendedParameter(const char* lead, const char* attribute, const char* value, char* out, int size) {
  if (out == nullptr || size < 1 || lead == nullptr || attribute == nullptr || value == nullptr) return -1;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(value);
  int used = 0;
  char head[96];
  const int whole = snprintf(head, sizeof head, " %s*=UTF-8''", attribute);
  if (!Append(out, size, used, lead, StringLength(lead))) return -1;
  if (used + whole + EncodedLength(s) <= kLineMax) {
    if (!Append(out, size, used, head, whole)) return -1;
    for (char piece[4]; *s != '\0'; ++s) {
      if (!Append(out, size, used, piece, PercentChar(*s, piece))) return -1;
    }
    out[used] = '\0';
    return used;
  }
  for (int section = 0; *s != '\0'; ++section) {
    int column = snprintf(head, sizeof head, "%s\r\n %s*%d*=%s", section > 0 ? ";" : "", attribute, section,
                          section == 0 ? "UTF-8''" : "");
    if (!Append(out, size, used, head, column)) return -1;
    column -= section > 0 ? 3 : 2;
    // Each section leaves room for the ';' that may follow it, and holds
    // whole UTF-8 characters, as readers decode the sections one by one.
    const unsigned char* start = s;
    while (*s != '\0') {
      char piece[4 * 3 + 1];
      int n = 0;
      const int k = Utf8CharLength(s, 4);
      for (int i = 0; i < k; ++i) n += PercentChar(s[i], piece + n);
      if (column + n > kLineMax - 1) break;
      if (!Append(out, size, used, piece, n)) return -1;
      column += n;
      s += k;
    }
    if (s == start) return -1;
  }
  out[used] = '\0';
  return used;
}
