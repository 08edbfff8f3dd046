#include "engine/pop3/text.h"

#include <cstring>

int32_t ReplyNumber(const char* text) {
  if (text == nullptr) return 0;
  // Every digit counts: a number cut to its first digits would be a wrong
  // count, so one too large for an int stays at INT32_MAX.
  int64_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(value);
}

int32_t StatCount(const char* reply) {
  if (reply == nullptr || strnlen(reply, 4) < 4) return 0;
  return ReplyNumber(reply + 4);
}

int32_t ListSize(const char* reply) {
  const char* first = reply != nullptr ? strchr(reply, ' ') : nullptr;
  const char* second = first != nullptr ? strchr(first + 1, ' ') : nullptr;
  return second != nullptr ? ReplyNumber(second + 1) : 0;
}

int ApopTimestamp(const char* greeting, char* out, int capacity) {
  if (out == nullptr || capacity < 1) return 0;
  out[0] = '\0';
  const char* open = greeting != nullptr ? strchr(greeting, '<') : nullptr;
  const char* close = open != nullptr ? strchr(open, '>') : nullptr;
  if (close == nullptr || close - open + 1 > capacity - 1) return 0;
  const int length = static_cast<int>(close - open + 1);
  memcpy(out, open, static_cast<size_t>(length));
  out[length] = '\0';
  return length;
}

bool EndsMessage(const char* line, int length) { return length >= 2 && line[0] == '.' && line[1] == '\r'; }

bool EndsList(const char* line, int length) { return length >= 1 && line[0] == '.' && (length < 2 || line[1] != '.'); }
