#ifndef FC_NET_SOCKET_ADDRESS_TESTING_H_
#define FC_NET_SOCKET_ADDRESS_TESTING_H_

// Helpers for tests and fuzz targets: socket addresses written out as text,
// and shorthands to build them.

#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>

#include "net/socket_address.h"

namespace fc {

/// "a.b.c.d:port", or "[g:g:g:g:g:g:g:g%scope]:port" with all eight groups in
/// lowercase hex and no "::" (the scope only when it is not 0). Parsing the
/// text gives the address back, apart from the flow information.
inline std::string to_literal_text(const SocketAddress& address) {
  char buffer[80];
  if (const auto* v4 = std::get_if<Ipv4Address>(&address)) {
    (void)std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u:%u", v4->bytes[0], v4->bytes[1],
                        v4->bytes[2], v4->bytes[3], v4->port);
    return buffer;
  }
  const auto& v6 = std::get<Ipv6Address>(address);
  std::string text = "[";
  for (std::size_t i = 0; i < 16; i += 2) {
    (void)std::snprintf(buffer, sizeof buffer, "%s%x", i == 0 ? "" : ":",
                        static_cast<unsigned>(v6.bytes[i] << 8 | v6.bytes[i + 1]));
    text += buffer;
  }
  if (v6.scope_id != 0) {
    text += '%';
    text += std::to_string(v6.scope_id);
  }
  text += "]:";
  text += std::to_string(v6.port);
  return text;
}

/// An IPv6 address from its eight groups.
inline Ipv6Address ipv6(std::initializer_list<std::uint16_t> groups, std::uint16_t port,
                        std::uint32_t scope_id = 0) {
  Ipv6Address address;
  std::size_t i = 0;
  for (std::uint16_t group : groups) {
    address.bytes[i++] = static_cast<std::uint8_t>(group >> 8);
    address.bytes[i++] = static_cast<std::uint8_t>(group & 0xff);
  }
  address.port = port;
  address.scope_id = scope_id;
  return address;
}

// Readable values in test failure messages.
inline void PrintTo(const Ipv4Address& address, std::ostream* out) {
  *out << to_literal_text(address);
}
inline void PrintTo(const Ipv6Address& address, std::ostream* out) {
  *out << to_literal_text(address) << " flow " << address.flow_info;
}

}  // namespace fc

#endif  // FC_NET_SOCKET_ADDRESS_TESTING_H_
