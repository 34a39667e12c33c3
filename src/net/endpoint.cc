#include "net/endpoint.h"

#include <limits>

#include "net/connect_loop.h"
#include "net/socket_ops.h"

namespace fc {

std::optional<std::uint16_t> parse_port_text(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

Result<HostAndPort> split_host_and_port(std::string_view endpoint) {
  std::size_t colon = endpoint.rfind(':');
  if (colon == std::string_view::npos) {
    return std::unexpected(IoError::from_fixed(kInvalidSocketAddress));
  }
  std::optional<std::uint16_t> port = parse_port_text(endpoint.substr(colon + 1));
  if (!port) return std::unexpected(IoError::from_fixed(kInvalidPortValue));
  return HostAndPort{endpoint.substr(0, colon), *port};
}

Result<std::vector<SocketAddress>> resolve_endpoint(std::string_view endpoint) {
  return resolve_endpoint_with(endpoint, resolve_host_name);
}

}  // namespace fc
