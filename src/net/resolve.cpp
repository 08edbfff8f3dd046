// Turning a server name into the slot's RemoteIP.
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

}  // namespace

int WexlIsDottedQuad(const char* text) {
  uint32_t ignored;
  return ReadDottedQuad(text, &ignored) ? 1 : 0;
}

uint32_t WexlParseDottedQuad(const char* text) {
  uint32_t address = 0;
  return ReadDottedQuad(text, &address) ? address : 0;
}

int WexlLookupHost(int slot) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  WaitWhileBlocking(*s);
  uint8_t bytes[4];
  int error = platform::NetLookupHost(s->HostName, bytes);
  if (error != 0) return -error;
  uint32_t address = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                     static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  // Some resolvers answer with the name's own bytes instead of an address.
  if (address == 0 || memcmp(bytes, s->HostName, 4) == 0) return kWexlBadAddress;
  s->RemoteIP = address;
  return kWexlOk;
}

int WexlResolve(int slot, const char* name) {
  SocketSlot* s = WexlSlot(slot);
  if (s == nullptr) return kWexlBadSlot;
  if (name == nullptr) return kWexlUnresolved;
  size_t length = strnlen(name, kMaxHostName + 1);
  if (length > kMaxHostName) return kWexlNameTooLong;
  memcpy(s->HostName, name, length);
  s->HostName[length] = '\0';
  if (WexlIsDottedQuad(s->HostName)) {
    s->RemoteIP = WexlParseDottedQuad(s->HostName);
    return kWexlOk;
  }
  return WexlLookupHost(slot) < 1 ? kWexlUnresolved : kWexlOk;
}
