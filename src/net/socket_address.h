#ifndef FC_NET_SOCKET_ADDRESS_H_
#define FC_NET_SOCKET_ADDRESS_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace fc {

/// An IPv4 socket address: address bytes in network order, port as a number.
struct Ipv4Address {
  std::array<std::uint8_t, 4> bytes{};
  std::uint16_t port = 0;
  bool operator==(const Ipv4Address&) const = default;
};

/// An IPv6 socket address: address bytes in network order, port as a number.
struct Ipv6Address {
  std::array<std::uint8_t, 16> bytes{};
  std::uint16_t port = 0;
  std::uint32_t flow_info = 0;
  std::uint32_t scope_id = 0;
  bool operator==(const Ipv6Address&) const = default;
};

/// A plain, copyable socket address of either family.
using SocketAddress = std::variant<Ipv4Address, Ipv6Address>;

/// Whether the address is IPv6's unspecified one, ::.
bool is_ipv6_any(const SocketAddress& address);

/// Reads the whole text as a literal socket address: "a.b.c.d:port" or
/// "[ipv6%scope]:port". No match is not an error; it sends the caller on to
/// name resolution. Makes no system call.
std::optional<SocketAddress> parse_socket_address(std::string_view text);

/// The address as text that parse_socket_address reads back: "a.b.c.d:port",
/// or "[ipv6%scope]:port" with the address in RFC 5952's form (lowercase, the
/// longest run of two or more zero groups as "::", an IPv4-mapped address's
/// last 32 bits dotted) and the scope only when it is not 0. The flow
/// information is left out.
std::string socket_address_text(const SocketAddress& address);

}  // namespace fc

#endif  // FC_NET_SOCKET_ADDRESS_H_
