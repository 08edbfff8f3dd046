#include "codec/paths.h"

#include <cstring>

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
