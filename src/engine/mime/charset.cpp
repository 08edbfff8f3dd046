// Character sets: ISO-8859-1 and UTF-8 by hand, every other set through the
// platform's converter, in slices so that no buffer grows with the text.
#include "engine/mime/charset.h"

#include <cstring>

#include "engine/mime/params.h"
#include "platform/platform.h"

namespace {

constexpr int kSlice = 512;

bool Named(const char* charset, const char* name) {
  const int length = StringLength(name);
  return StringLength(charset) == length && CompareNoCase(charset, name, length);
}

bool IsLatin1(const char* charset) {
  return Named(charset, "ISO-8859-1") || Named(charset, "ISO_8859-1") || Named(charset, "LATIN1");
}
bool IsAscii(const char* charset) { return charset[0] == '\0' || Named(charset, "US-ASCII"); }
bool IsUtf8(const char* charset) { return Named(charset, "UTF-8") || Named(charset, "UTF8"); }

int Latin1ToUtf8(const char* in, int length, char* out) {
  int n = 0;
  for (int i = 0; i < length; ++i) {
    const unsigned char ch = static_cast<unsigned char>(in[i]);
    if (ch < 0x80) {
      out[n++] = static_cast<char>(ch);
    } else {
      out[n++] = static_cast<char>(0xC0 | (ch >> 6));
      out[n++] = static_cast<char>(0x80 | (ch & 0x3F));
    }
  }
  return n;
}

// UTF-8 (valid, as the converter gives it) to single bytes: a character
// above U+00FF becomes '?'.
int Utf8ToLatin1(const char* in, int length, char* out) {
  int n = 0;
  for (int i = 0; i < length;) {
    const unsigned char ch = static_cast<unsigned char>(in[i]);
    const int size = ch < 0x80 ? 1 : ch >= 0xF0 ? 4 : ch >= 0xE0 ? 3 : 2;
    if (size == 2 && ch <= 0xC3 && i + 1 < length) {
      out[n++] = static_cast<char>(((ch & 0x03) << 6) | (in[i + 1] & 0x3F));
    } else {
      out[n++] = size == 1 ? static_cast<char>(ch) : '?';
    }
    i += size;
  }
  return n;
}

// One slice (at most kSlice + 4 bytes) into `out` (3 * its length bytes):
// the bytes written; `used` the bytes taken, an incomplete rest left.
int ConvertSlice(const char* charset, const char* in, int length, TextCoding to, char* out, int& used) {
  used = length;
  if (to == TextCoding::kLatin1 ? IsLatin1(charset) || IsAscii(charset) : IsUtf8(charset) || IsAscii(charset)) {
    memcpy(out, in, static_cast<size_t>(length));
    return length;
  }
  if (to == TextCoding::kUtf8 && IsLatin1(charset)) return Latin1ToUtf8(in, length, out);
  char utf8[3 * (kSlice + 4)];
  const int n = platform::ConvertToUtf8(charset, in, length, utf8, sizeof utf8, &used);
  if (n < 0) {
    // A set the system does not know: the bytes as they are.
    used = length;
    memcpy(out, in, static_cast<size_t>(length));
    return length;
  }
  if (to == TextCoding::kLatin1) return Utf8ToLatin1(utf8, n, out);
  memcpy(out, utf8, static_cast<size_t>(n));
  return n;
}

}  // namespace

int ConvertPiece(const char* charset, const char* in, int length, TextCoding to, Carry& carry, char* out) {
  int written = 0;
  for (int at = 0; at < length;) {
    const int n = length - at < kSlice ? length - at : kSlice;
    char joined[kSlice + 4];
    memcpy(joined, carry.bytes, carry.length);
    memcpy(joined + carry.length, in + at, static_cast<size_t>(n));
    const int total = carry.length + n;
    int used = 0;
    written += ConvertSlice(charset, joined, total, to, out + written, used);
    // Only the few bytes of a sequence begun wait; a longer rest is no
    // sequence of the set and goes on as it is.
    const int rest = total - used;
    if (rest > static_cast<int>(sizeof carry.bytes)) {
      memcpy(out + written, joined + used, static_cast<size_t>(rest));
      written += rest;
      carry.length = 0;
    } else {
      memcpy(carry.bytes, joined + used, static_cast<size_t>(rest));
      carry.length = static_cast<uint8_t>(rest);
    }
    at += n;
  }
  return written;
}

int ConvertText(const char* charset, const char* in, int length, TextCoding to, char* out, int size) {
  if (out == nullptr || size <= 0 || in == nullptr || length <= 0) return 0;
  Carry carry{};
  int written = 0;
  char converted[3 * (kSlice + 4) + 8];
  for (int at = 0; at < length; at += kSlice) {
    const int n = length - at < kSlice ? length - at : kSlice;
    int count = ConvertPiece(charset != nullptr ? charset : "", in + at, n, to, carry, converted);
    if (at + n >= length) {
      // The end of the text: an unfinished sequence is kept as it is.
      memcpy(converted + count, carry.bytes, carry.length);
      count += carry.length;
    }
    const int room = size - written < count ? size - written : count;
    memcpy(out + written, converted, static_cast<size_t>(room));
    written += room;
  }
  return written;
}

void ReadCharset(const char* line, char* out, int size) {
  out[0] = '\0';
  ParamValue v;
  if (!FindParameter(line, 0, "charset=", v)) return;
  CopyCount(out, line + v.start, v.length < size - 1 ? v.length : size - 1);
}
