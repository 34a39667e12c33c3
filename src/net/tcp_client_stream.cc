#include "net/tcp_client_stream.h"

#include "console/std_streams.h"
#include "net/connect_loop.h"

namespace fc {
namespace {

// The stream as a device, so that the one write-everything loop of the
// programs serves sockets and standard streams alike.
class StreamDevice final : public OutputDevice {
 public:
  explicit StreamDevice(const TcpClientStream& stream) : stream_(stream) {}
  Result<std::size_t> write_some(std::string_view bytes) override {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return send_some(stream_.native(), {data, bytes.size()});
  }

 private:
  const TcpClientStream& stream_;
};

}  // namespace

Result<TcpClientStream> connect_endpoint(std::string_view endpoint) {
  Result<NativeSocket> socket = connect_endpoint_with(endpoint, resolve_host_name, connect_address);
  if (!socket) return take_error(socket);
  return TcpClientStream(Socket(*socket));
}

Status send_all(TcpClientStream& stream, std::span<const std::uint8_t> bytes) {
  StreamDevice device(stream);
  return write_all(device, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

Status send_all(TcpClientStream& stream, std::string_view text) {
  StreamDevice device(stream);
  return write_all(device, text);
}

}  // namespace fc
