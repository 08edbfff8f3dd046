// Uuencoded data lines and the lines that open and close them.
#include "codec/uu.h"

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }
bool IsLineEnd(char ch) { return ch == '\r' || ch == '\n'; }

// The length without the line end.
int TextLength(const char* line, int length) {
  while (length > 0 && IsLineEnd(line[length - 1])) --length;
  return length;
}

// The six bits of a data character, or -1 for a character outside ' '..'`'.
int SixBits(char ch) {
  const int code = static_cast<unsigned char>(ch);
  return code >= 32 && code <= 96 ? (code - 32) & 63 : -1;
}

}  // namespace

bool ReadUuBegin(const char* line, int length, int& nameStart, int& nameLength) {
  if (line == nullptr) return false;
  int end = TextLength(line, length);
  if (end < 6 || line[0] != 'b' || line[1] != 'e' || line[2] != 'g' || line[3] != 'i' || line[4] != 'n' || !IsBlank(line[5]))
    return false;
  int at = 6;
  while (at < end && IsBlank(line[at])) ++at;
  int digits = 0;
  while (at < end && line[at] >= '0' && line[at] <= '7' && digits < 5) {
    ++at;
    ++digits;
  }
  if (digits == 0 || digits > 4 || at >= end || !IsBlank(line[at])) return false;
  while (at < end && IsBlank(line[at])) ++at;
  while (end > at && IsBlank(line[end - 1])) --end;
  if (end <= at) return false;
  nameStart = at;
  nameLength = end - at;
  return true;
}

bool IsUuEnd(const char* line, int length) {
  if (line == nullptr) return false;
  int end = TextLength(line, length);
  int at = 0;
  while (at < end && IsBlank(line[at])) ++at;
  while (end > at && IsBlank(line[end - 1])) --end;
  return end - at == 3 && line[at] == 'e' && line[at + 1] == 'n' && line[at + 2] == 'd';
}

int DecodeUuLine(const char* line, int length, char* out) {
  if (line == nullptr || out == nullptr) return -1;
  const int end = TextLength(line, length);
  if (end < 1) return -1;
  const int count = SixBits(line[0]);
  if (count < 0 || end - 1 > 4 * ((count + 2) / 3) + 1) return -1;
  for (int i = 1; i < end; ++i) {
    if (SixBits(line[i]) < 0) return -1;
  }
  int written = 0;
  for (int group = 1; written < count; group += 4) {
    int bits[4];
    for (int k = 0; k < 4; ++k) bits[k] = group + k < end ? SixBits(line[group + k]) : 0;
    const unsigned char bytes[3] = {static_cast<unsigned char>(bits[0] << 2 | bits[1] >> 4),
                                    static_cast<unsigned char>((bits[1] & 15) << 4 | bits[2] >> 2),
                                    static_cast<unsigned char>((bits[2] & 3) << 6 | bits[3])};
    for (int k = 0; k < 3 && written < count; ++k) out[written++] = static_cast<char>(bytes[k]);
  }
  return written;
}
