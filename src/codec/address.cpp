#include "codec/address.h"

#include "codec/strings.h"

namespace {

bool IsLetterOrDigit(unsigned char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
}

// Whether a character is one of `set`; the NUL never is.
bool IsOneOf(unsigned char ch, const char* set) {
  return ch != '\0' && FindChar(set, static_cast<char>(ch)) != nullptr;
}

// The characters of a local part: those of an RFC 5322 dot-atom.
bool IsLocalChar(unsigned char ch) { return IsLetterOrDigit(ch) || IsOneOf(ch, "!#$%&'*+-/=?^_`{|}~."); }

// The characters of a domain.
bool IsDomainChar(unsigned char ch) { return IsLetterOrDigit(ch) || IsOneOf(ch, "_-/.$&'"); }

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
    if (*p == '@') {
      if (++atCount > 1) return kAddressTooManyAt;
      continue;
    }
    const unsigned char ch = static_cast<unsigned char>(*p);
    if (!(atCount == 0 ? IsLocalChar(ch) : IsDomainChar(ch))) return kAddressBadChar;
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
