#include "net/serving_ops.h"

namespace fc {

Result<Socket> open_listener(const SocketAddress& address) {
  Result<Socket> listener = listen_on(address, largest_backlog());
  if (!listener) return listener;
  if (Status status = set_non_blocking(listener->native()); !status.ok()) {
    return std::unexpected(status.take_error());
  }
  return listener;
}

}  // namespace fc
