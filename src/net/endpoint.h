#ifndef FC_NET_ENDPOINT_H_
#define FC_NET_ENDPOINT_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "error/io_error.h"
#include "net/socket_address.h"

// The rules that turn an endpoint text into the addresses to connect to.

namespace fc {

/// An endpoint text that is no literal address and holds no ':'.
inline constexpr FixedMessage kInvalidSocketAddress{"invalid socket address",
                                                    ErrorKind::InvalidInput};
/// The text after an endpoint's last ':' is no port.
inline constexpr FixedMessage kInvalidPortValue{"invalid port value", ErrorKind::InvalidInput};

/// The addresses for an endpoint text: a literal address (parse_socket_address)
/// as it is, without a lookup; any other text cut at its last ':' and its host
/// looked up with the system resolver, with the port after the ':'.
Result<std::vector<SocketAddress>> resolve_endpoint(std::string_view endpoint);

/// Parses a port: an optional '+', then one or more digits, at most 65535.
std::optional<std::uint16_t> parse_port_text(std::string_view text);

/// An endpoint text that is no literal address, cut at its last ':'.
struct HostAndPort {
  std::string_view host;
  std::uint16_t port = 0;
};

/// Cuts the text at its last ':' and parses the port after it. The host is
/// passed on as it is: not trimmed, brackets kept, possibly empty.
Result<HostAndPort> split_host_and_port(std::string_view endpoint);

}  // namespace fc

#endif  // FC_NET_ENDPOINT_H_
