// Texts of the slot's remote and local addresses, for diagnostics: dotted
// IPv4, and IPv6 in the form of RFC 5952.
#include <cstdio>

#include "net/connections.h"
#include "net/internal.h"

namespace {

constexpr int kAddressRoom = 17;  // "255.255.255.255", its NUL, and one to spare
constexpr int kIpv6Room = 46;     // "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255" and its NUL

// Whether an IPv6 address maps an IPv4 one (::ffff:0:0/96).
bool MapsIpv4(const uint8_t* b) {
  for (int i = 0; i < 10; ++i) {
    if (b[i] != 0) return false;
  }
  return b[10] == 0xff && b[11] == 0xff;
}

// The first longest run of at least two zero groups: its start and length
// (0 when there is none).
void LongestZeroRun(const uint16_t groups[8], int* start, int* length) {
  *start = 0;
  *length = 0;
  for (int i = 0; i < 8;) {
    int run = 0;
    while (i + run < 8 && groups[i + run] == 0) ++run;
    if (run >= 2 && run > *length) {
      *start = i;
      *length = run;
    }
    i += run > 0 ? run : 1;
  }
}

// An IPv6 address as text into a buffer of at least kIpv6Room bytes; its length.
int FormatIpv6(const uint8_t* b, char* buffer) {
  if (MapsIpv4(b)) return snprintf(buffer, kIpv6Room, "::ffff:%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
  uint16_t groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<uint16_t>(b[2 * i] << 8 | b[2 * i + 1]);
  int start = 0;
  int length = 0;
  LongestZeroRun(groups, &start, &length);
  int n = 0;
  for (int i = 0; i < 8; ++i) {
    if (length > 0 && i == start) {
      n += snprintf(buffer + n, static_cast<size_t>(kIpv6Room - n), "::");
      i += length - 1;
      continue;
    }
    const bool afterGap = length > 0 && i == start + length;
    n += snprintf(buffer + n, static_cast<size_t>(kIpv6Room - n), i == 0 || afterGap ? "%x" : ":%x", groups[i]);
  }
  return n;
}

}  // namespace

int WexlFormatAddress(uint32_t address, char* buffer, int size) {
  if (buffer == nullptr || size < kAddressRoom) return 0;
  return snprintf(buffer, static_cast<size_t>(size), "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff,
                  (address >> 8) & 0xff, address & 0xff);
}

int WexlFormatNetAddress(const platform::NetAddress& address, char* buffer, int size) {
  if (address.family != 6) return WexlFormatAddress(platform::Ipv4Of(address), buffer, size);
  if (buffer == nullptr || size < kIpv6Room) return 0;
  return FormatIpv6(address.bytes, buffer);
}

int WexlRemoteAddress(int slot, char* buffer, int size) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return WexlFormatNetAddress(s->Remote, buffer, size);
}

int WexlLocalAddress(int slot, char* buffer, int size) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || size < kAddressRoom) return 0;
  platform::NetAddress local{};
  if (!HasSocket(*s) || !platform::SocketLocalAddress(s->Socket, &local)) {
    buffer[0] = '\0';
    return 0;
  }
  const int n = WexlFormatNetAddress(local, buffer, size);
  if (n == 0) buffer[0] = '\0';
  return n;
}
