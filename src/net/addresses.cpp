// Dotted texts of the slot's remote and local addresses, for diagnostics.
#include <cstdio>

#include "net/connections.h"
#include "net/internal.h"

namespace {
constexpr int kAddressRoom = 17;  // "255.255.255.255", its NUL, and one to spare
}  // namespace

int WexlFormatAddress(uint32_t address, char* buffer, int size) {
  if (buffer == nullptr || size < kAddressRoom) return 0;
  return snprintf(buffer, static_cast<size_t>(size), "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff,
                  (address >> 8) & 0xff, address & 0xff);
}

int WexlRemoteAddress(int slot, char* buffer, int size) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  return WexlFormatAddress(s->RemoteIP, buffer, size);
}

int WexlLocalAddress(int slot, char* buffer, int size) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (buffer == nullptr || size < kAddressRoom) return 0;
  uint32_t local = 0;
  if (!HasSocket(*s) || !platform::SocketLocalAddress(s->Socket, &local)) {
    buffer[0] = '\0';
    return 0;
  }
  return WexlFormatAddress(local, buffer, size);
}
