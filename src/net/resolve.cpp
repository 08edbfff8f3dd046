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
  return WexlLookupName(s->HostName, &s->RemoteIP);
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
  if (rc == kWexlOk) s->RemoteIP = address;
  return rc;
}
