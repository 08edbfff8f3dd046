// Turning a server name into addresses: the slot's Remote address as ever
// (one IPv4 address), or every address of the allowed families for a connect
// that tries them in turn; and the address literals a name may be.
#include <cstring>

#include "net/connections.h"
#include "net/internal.h"

namespace {

constexpr size_t kMaxHostName = sizeof(SocketSlot::HostName) - 1;  // 127

// Reads four dot-ended groups of digits; false for anything else.
bool ReadDottedQuad(const char* text, uint32_t* address) {
  if (text == nullptr) return false;
  uint32_t result = 0;
  for (int group = 0; group < 4; ++group) {
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
      value = value * 10 + static_cast<uint32_t>(*text - '0');
      if (value > 255) return false;
    }
    if (*text == '.') {
      ++text;
    } else if (*text != '\0' || group < 3) {
      return false;
    }
    result = result << 8 | value;
  }
  *address = result;
  return true;
}

// Reads one to three decimal digits without a leading zero (except "0"
// itself), at most 255; the characters read, 0 for none.
int ReadOctet(const char* text, uint32_t* value) {
  int n = 0;
  uint32_t v = 0;
  for (; n < 3 && text[n] >= '0' && text[n] <= '9'; ++n) v = v * 10 + static_cast<uint32_t>(text[n] - '0');
  if (n == 0 || v > 255 || (n > 1 && text[0] == '0') || (text[n] >= '0' && text[n] <= '9')) return 0;
  *value = v;
  return n;
}

// Reads exactly four dot-separated octets and nothing after them.
bool ReadStrictQuad(const char* text, uint32_t* address) {
  uint32_t result = 0;
  for (int group = 0; group < 4; ++group) {
    uint32_t value = 0;
    const int n = ReadOctet(text, &value);
    if (n == 0) return false;
    text += n;
    if (*text != (group < 3 ? '.' : '\0')) return false;
    ++text;
    result = result << 8 | value;
  }
  *address = result;
  return true;
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Reads one to four hex digits (not followed by a fifth); the characters
// read, 0 for none.
int ReadHexGroup(const char* text, uint16_t* value) {
  int n = 0;
  uint32_t v = 0;
  for (; n < 4 && HexValue(text[n]) >= 0; ++n) v = v * 16 + static_cast<uint32_t>(HexValue(text[n]));
  if (n == 4 && HexValue(text[4]) >= 0) return 0;
  *value = static_cast<uint16_t>(v);
  return n;
}

// Reads the groups of an IPv6 text: `*gap` is the group count before "::"
// (-1 without one); false for a text of another form.
bool ReadIpv6Groups(const char* p, uint16_t groups[8], int* count, int* gap) {
  if (p[0] == ':') {
    if (p[1] != ':') return false;
    *gap = 0;
    p += 2;
    if (*p == '\0') return true;
  }
  for (;;) {
    uint32_t quad = 0;
    if (*count <= 6 && ReadStrictQuad(p, &quad)) {  // a dotted IPv4 tail: the last two groups
      groups[(*count)++] = static_cast<uint16_t>(quad >> 16);
      groups[(*count)++] = static_cast<uint16_t>(quad & 0xffff);
      return true;
    }
    const int n = *count < 8 ? ReadHexGroup(p, &groups[*count]) : 0;
    if (n == 0) return false;
    ++*count;
    p += n;
    if (*p == '\0') return true;
    if (*p++ != ':') return false;
    if (*p == ':') {
      if (*gap >= 0) return false;
      *gap = *count;
      if (*++p == '\0') return true;
    }
  }
}

// Reads an IPv6 address in the text forms of RFC 4291 (section 2.2), without
// brackets or zone.
bool ReadIpv6(const char* text, uint8_t bytes[16]) {
  uint16_t groups[8] = {};
  int count = 0;
  int gap = -1;
  if (!ReadIpv6Groups(text, groups, &count, &gap)) return false;
  if (gap < 0 ? count != 8 : count > 7) return false;
  uint16_t full[8] = {};
  for (int i = 0; i < count; ++i) full[gap >= 0 && i >= gap ? i + 8 - count : i] = groups[i];
  for (int i = 0; i < 8; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(full[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(full[i] & 0xff);
  }
  return true;
}

// "[" IPv6 literal "]" and nothing else, within the host name's length.
bool ReadBracketed(const char* name, platform::NetAddress* address) {
  const size_t length = strnlen(name, kMaxHostName + 1);
  if (length < 3 || length > kMaxHostName || name[0] != '[' || name[length - 1] != ']') return false;
  char inner[kMaxHostName + 1];
  memcpy(inner, name + 1, length - 2);
  inner[length - 2] = '\0';
  *address = platform::NetAddress{6, {}, 0};
  return ReadIpv6(inner, address->bytes);
}

bool AllowsIpv6(int family) { return family == kWexlIpv6 || family == kWexlAnyFamily; }

// Copies a name of at most kMaxHostName characters into a slot's HostName.
void BoundedName(char* out, const char* name) {
  size_t length = strnlen(name, kMaxHostName);
  memcpy(out, name, length);
  out[length] = '\0';
}

}  // namespace

int WexlIsDottedQuad(const char* text) {
  uint32_t ignored;
  return ReadDottedQuad(text, &ignored) ? 1 : 0;
}

uint32_t WexlParseDottedQuad(const char* text) {
  uint32_t address = 0;
  return ReadDottedQuad(text, &address) ? address : 0;
}

int WexlLookupName(const char* name, uint32_t* address) {
  uint8_t bytes[4];
  int error = platform::NetLookupHost(name, bytes);
  if (error != 0) return -error;
  uint32_t value = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                   static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  // Some resolvers answer with the name's own bytes instead of an address.
  if (value == 0 || strncmp(reinterpret_cast<const char*>(bytes), name, 4) == 0) return kWexlBadAddress;
  *address = value;
  return kWexlOk;
}

int WexlLookupHost(int slot) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  WaitWhileBlocking(*s);
  uint32_t address = 0;
  int rc = WexlLookupName(s->HostName, &address);
  if (rc == kWexlOk) s->Remote = platform::Ipv4Address(address);
  return rc;
}

int WexlResolveName(const char* name, uint32_t* address) {
  if (name == nullptr) return kWexlUnresolved;
  if (strnlen(name, kMaxHostName + 1) > kMaxHostName) return kWexlNameTooLong;
  if (ReadDottedQuad(name, address)) return kWexlOk;
  return WexlLookupName(name, address) < 1 ? kWexlUnresolved : kWexlOk;
}

int WexlResolve(int slot, const char* name) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  uint32_t address = 0;
  int rc = WexlResolveName(name, &address);
  if (rc == kWexlNameTooLong || name == nullptr) return rc;
  BoundedName(s->HostName, name);
  if (rc == kWexlOk) s->Remote = platform::Ipv4Address(address);
  return rc;
}

bool WexlParseIpLiteral(const char* text, platform::NetAddress* address) {
  if (text == nullptr) return false;
  uint32_t quad = 0;
  if (ReadStrictQuad(text, &quad)) {
    *address = platform::Ipv4Address(quad);
    return true;
  }
  *address = platform::NetAddress{6, {}, 0};
  return ReadIpv6(text, address->bytes);
}

bool WexlValidFamily(int family) {
  return family == kWexlClassic || family == kWexlIpv4 || family == kWexlIpv6 || family == kWexlAnyFamily;
}

int WexlNameFitsFamily(const char* name, int family) {
  if (family == kWexlClassic || name == nullptr) return 1;
  if (strchr(name, '[') == nullptr && strchr(name, ']') == nullptr) return 1;
  platform::NetAddress ignored;
  return AllowsIpv6(family) && ReadBracketed(name, &ignored) ? 1 : 0;
}

int WexlResolveAll(const char* name, int family, platform::NetAddress* out, int capacity) {
  if (name == nullptr || capacity < 1) return kWexlUnresolved;
  if (strnlen(name, kMaxHostName + 1) > kMaxHostName) return kWexlNameTooLong;
  const bool wantIpv4 = family != kWexlIpv6;
  const bool wantIpv6 = AllowsIpv6(family);
  platform::NetAddress literal;
  if (ReadBracketed(name, &literal) || WexlParseIpLiteral(name, &literal)) {
    if (!(literal.family == 4 ? wantIpv4 : wantIpv6)) return kWexlNoAddress;
    out[0] = literal;
    return 1;
  }
  if (name[0] == '[') return kWexlUnresolved;
  int count = 0;
  if (platform::NetResolveAll(name, wantIpv4, wantIpv6, out, capacity, &count) != 0) return kWexlUnresolved;
  return count > 0 ? count : kWexlNoAddress;
}
