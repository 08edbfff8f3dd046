#include "engine/pop3/text.h"

#include <cstring>

namespace {

constexpr int kMostDigits = 10;

}  // namespace

int32_t ReplyNumber(const char* text) {
  if (text == nullptr) return 0;
  uint64_t value = 0;
  for (int i = 0; i < kMostDigits && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
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
