#ifndef FC_NET_CONNECT_LOOP_H_
#define FC_NET_CONNECT_LOOP_H_

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "error/io_error.h"
#include "net/endpoint.h"
#include "net/socket_address.h"
#include "net/socket_ops.h"

// How resolve_endpoint and connect_endpoint are put together, with the host
// lookup and the connect step as parameters: the product passes
// resolve_host_name and connect_address, tests pass their own, so that the
// composition they check is the one that ships. Internal: code outside
// src/net uses endpoint.h and tcp_client_stream.h; tests use this.

namespace fc {

/// An address list with nothing to try: the lookup found no IPv4 or IPv6
/// address.
inline constexpr FixedMessage kNoAddresses{"could not resolve to any addresses",
                                           ErrorKind::InvalidInput};

/// resolve_endpoint with the host lookup given: a literal address never
/// reaches `resolve`, nor does a text that the split refuses.
template <typename Resolve>
Result<std::vector<SocketAddress>> resolve_endpoint_with(std::string_view endpoint,
                                                         Resolve&& resolve) {
  if (std::optional<SocketAddress> literal = parse_socket_address(endpoint)) {
    return std::vector<SocketAddress>{*literal};
  }
  Result<HostAndPort> parts = split_host_and_port(endpoint);
  if (!parts) return take_error(parts);
  return resolve(parts->host, parts->port);
}

/// connect_endpoint with the host lookup and the connect step given: resolves
/// the endpoint, then tries each address once, in order; returns the first
/// connected socket, or the last attempt's error.
template <typename Resolve, typename Connect>
Result<NativeSocket> connect_endpoint_with(std::string_view endpoint, Resolve&& resolve,
                                           Connect&& connect) {
  Result<std::vector<SocketAddress>> addresses = resolve_endpoint_with(endpoint, resolve);
  if (!addresses) return take_error(addresses);
  std::optional<IoError> last_error;
  for (const SocketAddress& address : *addresses) {
    Result<NativeSocket> socket = connect(address);
    if (socket) return socket;
    last_error = std::move(socket.error());
  }
  if (last_error) return std::unexpected(std::move(*last_error));
  return std::unexpected(IoError::from_fixed(kNoAddresses));
}

}  // namespace fc

#endif  // FC_NET_CONNECT_LOOP_H_
