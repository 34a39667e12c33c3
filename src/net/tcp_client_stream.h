#ifndef FC_NET_TCP_CLIENT_STREAM_H_
#define FC_NET_TCP_CLIENT_STREAM_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "error/io_error.h"
#include "net/socket_address.h"
#include "net/socket_ops.h"

namespace fc {

/// A connected TCP stream: the sole owner of one socket, closed exactly once
/// when the stream is destroyed. Only connect_endpoint creates one.
class TcpClientStream {
 public:
  TcpClientStream(TcpClientStream&& other) noexcept : socket_(other.socket_) {
    other.socket_ = kNoSocket;
  }
  TcpClientStream& operator=(TcpClientStream&& other) noexcept;
  TcpClientStream(const TcpClientStream&) = delete;
  TcpClientStream& operator=(const TcpClientStream&) = delete;
  ~TcpClientStream();

  NativeSocket native() const { return socket_; }

 private:
  friend Result<TcpClientStream> connect_endpoint(std::string_view endpoint);
  explicit TcpClientStream(NativeSocket socket) : socket_(socket) {}

  NativeSocket socket_;
};

/// Resolves the endpoint text and tries each address once, in order; returns
/// the first connection, or the last attempt's error.
Result<TcpClientStream> connect_endpoint(std::string_view endpoint);

/// Hands every byte to the system in order. Zero bytes taken is a WriteZero
/// error; an interrupted send is offered again.
Status send_all(TcpClientStream& stream, std::span<const std::uint8_t> bytes);
/// send_all for the bytes of a text.
Status send_all(TcpClientStream& stream, std::string_view text);

/// The addresses for an endpoint text: a literal address, or the host part
/// (before the last ':') looked up with the port after it.
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

/// resolve_endpoint with the host lookup given, so that which texts reach the
/// resolver, and with what, can be checked without one. A literal address
/// never calls `resolve`.
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

/// The connection loop over an address list, with the connect step given, so
/// that the try-each-in-order rule can be exercised without a network.
template <typename Connect>
Result<NativeSocket> connect_first(const std::vector<SocketAddress>& addresses, Connect&& connect) {
  std::optional<IoError> last_error;
  for (const SocketAddress& address : addresses) {
    Result<NativeSocket> socket = connect(address);
    if (socket) return socket;
    last_error = std::move(socket.error());
  }
  if (last_error) return std::unexpected(std::move(*last_error));
  return std::unexpected(IoError::from_fixed(fixed_messages::kNoAddresses));
}

}  // namespace fc

#endif  // FC_NET_TCP_CLIENT_STREAM_H_
