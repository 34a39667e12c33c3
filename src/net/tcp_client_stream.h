#ifndef FC_NET_TCP_CLIENT_STREAM_H_
#define FC_NET_TCP_CLIENT_STREAM_H_

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "error/io_error.h"
#include "net/socket.h"

namespace fc {

/// A connected TCP stream: the sole owner of one socket, closed exactly once
/// when the stream is destroyed. Only connect_endpoint creates one.
class TcpClientStream {
 public:
  NativeSocket native() const { return socket_.native(); }

 private:
  friend Result<TcpClientStream> connect_endpoint(std::string_view endpoint);
  explicit TcpClientStream(Socket socket) : socket_(std::move(socket)) {}

  Socket socket_;
};

/// Resolves the endpoint text and tries each address once, in order; returns
/// the first connection, or the last attempt's error.
Result<TcpClientStream> connect_endpoint(std::string_view endpoint);

/// Hands every byte to the system in order. Zero bytes taken is a WriteZero
/// error; an interrupted send is offered again.
Status send_all(TcpClientStream& stream, std::span<const std::uint8_t> bytes);
/// send_all for the bytes of a text.
Status send_all(TcpClientStream& stream, std::string_view text);

}  // namespace fc

#endif  // FC_NET_TCP_CLIENT_STREAM_H_
