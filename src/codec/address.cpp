#include "codec/address.h"

#include "codec/strings.h"

namespace {

bool IsAddressChar(unsigned char ch) {
  if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) return true;
  switch (ch) {
    case '_':
    case '-':
    case '/':
    case '.':
    case '@':
    case '$':
    case '&':
    case '\'':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool HasLineBreak(const char* text) {
  if (text == nullptr) return false;
  for (; *text != '\0'; ++text) {
    if (*text == '\r' || *text == '\n') return true;
  }
  return false;
}

int ValidServerName(const char* name) {
  if (name == nullptr) return 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != '\0'; ++p) {
    if (*p == '<' || *p == '>' || *p == '@') return 0;
    if (!((*p >= 0x20 && *p <= 0x7E) || *p >= 0xC0)) return 0;
  }
  return 1;
}

int CheckAddressChars(const char* first, const char* last) {
  if (first == nullptr || last == nullptr) return kAddressMissingAt;
  int atCount = 0;
  for (const char* p = first; p <= last; ++p) {
    if (*p == '@' && ++atCount > 1) return kAddressTooManyAt;
    if (!IsAddressChar(static_cast<unsigned char>(*p))) return kAddressBadChar;
  }
  return atCount == 1 ? kAddressOk : kAddressMissingAt;
}

int VerifyAddress(const char* text, char separator) {
  if (text == nullptr) return kAddressNull;
  if (*text == '\0') return kAddressEmpty;
  const char* open = FindBeforeSeparator(text, '<', separator);
  if (open == nullptr) return kAddressMissingOpen;
  const char* close = FindBeforeSeparator(text, '>', separator);
  if (close == nullptr || close < open) return kAddressMissingClose;
  if (close == open + 1) return kAddressNull;
  if (open[1] == '@' || close[-1] == '@') return kAddressEmpty;
  return CheckAddressChars(open + 1, close - 1);
}
