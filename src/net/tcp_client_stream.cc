#include "net/tcp_client_stream.h"

#include "net/connect_loop.h"

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

Result<TcpClientStream> connect_endpoint(std::string_view endpoint) {
  Result<NativeSocket> socket = connect_endpoint_with(endpoint, resolve_host_name, connect_address);
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
