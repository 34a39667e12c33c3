#include "net/tcp_client_stream.h"

#include <limits>

namespace fc {

TcpClientStream& TcpClientStream::operator=(TcpClientStream&& other) noexcept {
  if (this != &other) {
    if (socket_ != kNoSocket) close_socket(socket_);
    socket_ = other.socket_;
    other.socket_ = kNoSocket;
  }
  return *this;
}

TcpClientStream::~TcpClientStream() {
  if (socket_ != kNoSocket) close_socket(socket_);
}

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
    return std::unexpected(IoError::from_fixed(fixed_messages::kInvalidSocketAddress));
  }
  std::optional<std::uint16_t> port = parse_port_text(endpoint.substr(colon + 1));
  if (!port) return std::unexpected(IoError::from_fixed(fixed_messages::kInvalidPortValue));
  return HostAndPort{endpoint.substr(0, colon), *port};
}

Result<std::vector<SocketAddress>> resolve_endpoint(std::string_view endpoint) {
  return resolve_endpoint_with(endpoint, resolve_host_name);
}

Result<TcpClientStream> connect_endpoint(std::string_view endpoint) {
  Result<std::vector<SocketAddress>> addresses = resolve_endpoint(endpoint);
  if (!addresses) return take_error(addresses);
  Result<NativeSocket> socket = connect_first(*addresses, connect_address);
  if (!socket) return take_error(socket);
  return TcpClientStream(*socket);
}

Status send_all(TcpClientStream& stream, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    Result<std::size_t> taken = send_some(stream.native(), bytes);
    if (!taken) {
      if (taken.error().is_interrupted()) continue;
      return std::move(taken.error());
    }
    if (*taken == 0) return IoError::from_fixed(kWriteZero);
    bytes = bytes.subspan(*taken);
  }
  return {};
}

Status send_all(TcpClientStream& stream, std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  return send_all(stream, std::span(bytes, text.size()));
}

}  // namespace fc
