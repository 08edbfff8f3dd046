#include "codec/strings.h"

#include <algorithm>
#include <cstring>

namespace {

inline unsigned char Fold(char ch) {
  unsigned char u = static_cast<unsigned char>(ch);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - ('a' - 'A')) : u;
}

// Whether the first `count` bytes of a and b are equal once folded.
bool EqualFolded(const char* a, const char* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

// The maximal suffix of the folded needle under the byte order (or under its
// reverse): returns where it starts and sets `period` to its period.
size_t MaximalSuffix(const char* needle, size_t length, bool reversed, size_t& period) {
  // The position just before the best suffix so far; it starts at -1, so
  // that `before + offset` wraps round to offset - 1.
  size_t before = static_cast<size_t>(-1);
  size_t at = 0;
  size_t offset = 1;
  period = 1;
  while (at + offset < length) {
    const unsigned char candidate = Fold(needle[at + offset]);
    const unsigned char best = Fold(needle[before + offset]);
    if (reversed ? candidate > best : candidate < best) {
      // The candidate suffix is smaller: the best one's period grows to cover it.
      at += offset;
      offset = 1;
      period = at - before;
    } else if (candidate == best) {
      // Still repeating the period: step through it.
      if (offset != period) {
        ++offset;
      } else {
        at += period;
        offset = 1;
      }
    } else {
      // The candidate suffix is larger: it becomes the best one.
      before = at++;
      offset = 1;
      period = 1;
    }
  }
  return before + 1;
}

// Splits the needle where its left and right halves cannot both match at a
// wrong alignment: the later start of the two maximal suffixes. Returns the
// start of the right half and sets `period` to that half's period.
size_t CriticalSplit(const char* needle, size_t length, size_t& period) {
  size_t forwardPeriod;
  size_t reversePeriod;
  const size_t forward = MaximalSuffix(needle, length, false, forwardPeriod);
  const size_t reverse = MaximalSuffix(needle, length, true, reversePeriod);
  if (forward > reverse) {
    period = forwardPeriod;
    return forward;
  }
  period = reversePeriod;
  return reverse;
}

// First position of the folded needle in the folded text, both of the given
// lengths (1 <= needleLength <= textLength), by the two-way string matching
// algorithm: time linear in both lengths, constant memory. Each attempt
// compares the right half left to right, then the left half right to left;
// a mismatch in the right half shifts past the bytes that matched, a
// mismatch in the left half shifts by the period. When the whole needle has
// that period, the bytes a period shift keeps aligned are not compared again
// (`known`), which keeps repetitive texts linear.
const char* TwoWaySearch(const char* text, size_t textLength, const char* needle, size_t needleLength) {
  size_t period;
  const size_t split = CriticalSplit(needle, needleLength, period);
  // split + period <= needleLength: the right half's period is at most its length.
  const bool periodic = EqualFolded(needle, needle + period, split);
  if (!periodic) period = std::max(split, needleLength - split) + 1;
  size_t known = 0;
  for (size_t at = 0; at + needleLength <= textLength;) {
    size_t right = std::max(split, known);
    while (right < needleLength && Fold(needle[right]) == Fold(text[at + right])) ++right;
    if (right < needleLength) {
      at += right - split + 1;
      known = 0;
      continue;
    }
    size_t left = split;
    while (left > known && Fold(needle[left - 1]) == Fold(text[at + left - 1])) --left;
    if (left <= known) return text + at;
    at += period;
    known = periodic ? needleLength - period : 0;
  }
  return nullptr;
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
  return TwoWaySearch(text, length, sought, soughtLength);
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

int ExtractText(const char* buffer, const char* sought, char* out, int size) {
  if (buffer == nullptr || sought == nullptr || out == nullptr) return 0;
  const char* found = FindNoCase(buffer, sought);
  return found == nullptr ? 0 : CopyLine(found, out, size);
}

int ExtractLine(const char* buffer, int number, char* out, int size) {
  if (buffer == nullptr || out == nullptr) return 0;
  const char* line = buffer;
  for (int n = 1; n < number; ++n) {
    const char* lf = FindChar(line, '\n');
    if (lf == nullptr) return 0;
    line = lf + 1;
  }
  return CopyLine(line, out, size);
}

int LineEndLength(const char* text, int length) {
  if (text == nullptr) return 0;
  if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n') return 2;
  if (length >= 1 && (text[length - 1] == '\n' || text[length - 1] == '\r')) return 1;
  return 0;
}

bool IsPathBreak(char ch) { return ch == '/' || ch == '\\' || ch == ':'; }

int BaseNameStart(const char* path, int length, bool leadingBreakCounts) {
  int start = 0;
  for (int i = leadingBreakCounts ? 0 : 1; path != nullptr && i < length && path[i] != '\0'; ++i) {
    if (IsPathBreak(path[i])) start = i + 1;
  }
  return start;
}

int JoinPath(const char* dir, const char* name, char separator, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return -1;
  out[0] = '\0';
  if (dir == nullptr || name == nullptr) return -1;
  const size_t dirLength = strlen(dir);
  const size_t nameLength = strlen(name);
  const size_t gap = dirLength == 0 || dir[dirLength - 1] == separator ? 0 : 1;
  const size_t total = dirLength + gap + nameLength;
  if (total > static_cast<size_t>(capacity) - 1) return -1;
  memcpy(out, dir, dirLength);
  if (gap != 0) out[dirLength] = separator;
  memcpy(out + dirLength + gap, name, nameLength);
  out[total] = '\0';
  return static_cast<int>(total);
}
