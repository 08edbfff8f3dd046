#include "codec/strings.h"

#include <cstring>

namespace {

inline unsigned char Fold(char ch) {
  unsigned char u = static_cast<unsigned char>(ch);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - ('a' - 'A')) : u;
}

}  // namespace

int BoundedCopy(char* out, const char* source, int max) {
  if (out == nullptr || source == nullptr || max < 0) return 0;
  int n = 0;
  while (n < max && source[n] != '\0') {
    out[n] = source[n];
    ++n;
  }
  out[n] = '\0';
  return n;
}

int CopyCount(char* out, const char* source, int count) {
  if (out == nullptr) return 0;
  if (source == nullptr || count < 0) count = 0;
  memcpy(out, source == nullptr ? "" : source, static_cast<size_t>(count));
  out[count] = '\0';
  return count;
}

void BoundedAppend(char* out, const char* source, int max) {
  if (out == nullptr) return;
  BoundedCopy(out + strlen(out), source, max);
}

int StringLength(const char* text) { return text == nullptr ? 0 : static_cast<int>(strlen(text)); }

const char* FindChar(const char* text, char ch) { return text == nullptr ? nullptr : strchr(text, ch); }

int FindCharN(const char* text, char ch, int limit) {
  if (text == nullptr) return -1;
  for (int i = 0; i < limit && text[i] != '\0'; ++i) {
    if (text[i] == ch) return i;
  }
  return -1;
}

const char* FindBeforeSeparator(const char* text, char ch, char separator) {
  if (text == nullptr) return nullptr;
  for (; *text != '\0' && *text != separator; ++text) {
    if (*text == ch) return text;
  }
  return nullptr;
}

int CompareNoCase(const char* a, const char* b, int count) {
  if (a == nullptr || b == nullptr || count <= 0) return 0;
  for (int i = 0; i < count; ++i) {
    if (Fold(a[i]) != Fold(b[i])) return 0;
    if (a[i] == '\0') return 1;
  }
  return 1;
}

const char* FindNoCase(const char* text, const char* sought) {
  if (text == nullptr || sought == nullptr) return nullptr;
  size_t length = strlen(text);
  size_t soughtLength = strlen(sought);
  if (soughtLength > length) return nullptr;
  if (soughtLength == 0) return text;
  const unsigned char first = Fold(sought[0]);
  const int count = static_cast<int>(soughtLength);
  for (size_t at = 0; at + soughtLength <= length; ++at) {
    if (Fold(text[at]) == first && CompareNoCase(text + at, sought, count)) return text + at;
  }
  return nullptr;
}

int CopyLine(const char* source, char* out, int size) {
  if (source == nullptr || out == nullptr || size <= 1) return 0;
  int n = 0;
  while (n < size - 1) {
    char ch = source[n];
    if (ch == '\0') break;
    out[n++] = ch;
    if (ch == '\n') break;
  }
  out[n] = '\0';
  if (n > 0 && out[n - 1] == '\n') return n;
  return source[n] == '\0' ? n : 0;
}
