// The system's socket address records of IPv4 and IPv6 addresses, the same on
// both sides of the platform layer: each side includes this after its own
// sockets headers (sockaddr_in, sockaddr_in6, htons, htonl).
#pragma once

#include <cstring>

#include "platform/sockets.h"

namespace platform {

// The record of an address and a port (host byte order) in `record`, which
// has room for either family; its length.
inline int PeerRecord(const NetAddress& address, uint16_t port, sockaddr_in6* record) {
  memset(record, 0, sizeof *record);
  if (address.family == 6) {
    record->sin6_family = AF_INET6;
    record->sin6_port = htons(port);
    memcpy(&record->sin6_addr, address.bytes, 16);
    record->sin6_scope_id = address.scope;
    return sizeof *record;
  }
  auto* in = reinterpret_cast<sockaddr_in*>(record);
  in->sin_family = AF_INET;
  in->sin_port = htons(port);
  in->sin_addr.s_addr = htonl(Ipv4Of(address));
  return sizeof *in;
}

// The address of a record; false for a family other than IPv4 and IPv6.
inline bool AddressOf(const sockaddr* record, NetAddress* address) {
  *address = NetAddress{};
  if (record->sa_family == AF_INET) {
    address->family = 4;
    memcpy(address->bytes, &reinterpret_cast<const sockaddr_in*>(record)->sin_addr, 4);
    return true;
  }
  if (record->sa_family != AF_INET6) return false;
  const auto* in6 = reinterpret_cast<const sockaddr_in6*>(record);
  address->family = 6;
  memcpy(address->bytes, &in6->sin6_addr, 16);
  address->scope = in6->sin6_scope_id;
  return true;
}

// Adds the address of a record to a list when it is of a wanted family and
// not in the list yet, while the list has room.
inline void Gather(const sockaddr* record, bool wantIpv4, bool wantIpv6, NetAddress* out, int capacity, int* count) {
  NetAddress address;
  if (record == nullptr || *count >= capacity || !AddressOf(record, &address)) return;
  if (!(address.family == 4 ? wantIpv4 : wantIpv6)) return;
  for (int i = 0; i < *count; ++i) {
    if (SameAddress(out[i], address)) return;
  }
  out[(*count)++] = address;
}

}  // namespace platform
