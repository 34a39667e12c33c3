#ifndef FC_NET_SOCKET_ADDRESS_REFERENCE_POSIX_TESTING_H_
#define FC_NET_SOCKET_ADDRESS_REFERENCE_POSIX_TESTING_H_

// A second reading of literal socket addresses for tests and fuzz targets,
// built from the platform's inet_pton for the address parts and
// std::from_chars for the port and scope. It cannot see past a NUL byte.

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "net/socket_address.h"

namespace fc {

/// One or more ASCII digits making a value that fits T; nothing else.
template <typename T>
std::optional<T> reference_number(std::string_view text) {
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return {};
  return value;
}

/// "address:port" or "[address%scope]:port" read with the platform's parser.
/// No address part can hold ':' (IPv4), ']' or '%', so the first of each
/// ends it.
inline std::optional<SocketAddress> reference_parse(std::string_view text) {
  std::size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    in_addr v4{};
    if (inet_pton(AF_INET, std::string(text.substr(0, colon)).c_str(), &v4) == 1) {
      std::optional<std::uint16_t> port = reference_number<std::uint16_t>(text.substr(colon + 1));
      if (!port) return {};
      Ipv4Address address;
      std::memcpy(address.bytes.data(), &v4, 4);
      address.port = *port;
      return address;
    }
  }
  if (!text.starts_with('[')) return {};
  std::size_t close = text.find(']');
  if (close == std::string_view::npos || text.substr(close + 1, 1) != ":") return {};
  std::optional<std::uint16_t> port = reference_number<std::uint16_t>(text.substr(close + 2));
  std::string_view inside = text.substr(1, close - 1);
  std::size_t percent = inside.find('%');
  std::optional<std::uint32_t> scope = 0;
  if (percent != std::string_view::npos) {
    scope = reference_number<std::uint32_t>(inside.substr(percent + 1));
  }
  in6_addr v6{};
  if (!port || !scope ||
      inet_pton(AF_INET6, std::string(inside.substr(0, percent)).c_str(), &v6) != 1) {
    return {};
  }
  Ipv6Address address;
  std::memcpy(address.bytes.data(), &v6, 16);
  address.port = *port;
  address.scope_id = *scope;
  return address;
}

}  // namespace fc

#endif  // FC_NET_SOCKET_ADDRESS_REFERENCE_POSIX_TESTING_H_
