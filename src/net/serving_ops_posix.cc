#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "console/std_streams.h"
#include "net/sockaddr_conversion.h"
#include "net/serving_ops.h"

namespace fc {
namespace {

int fd_of(NativeSocket socket) { return static_cast<int>(socket); }

// A count returned by a call that fails with -1.
Result<std::size_t> count_or_error(ssize_t count) {
  if (count < 0) return std::unexpected(interruptible_socket_error());
  return static_cast<std::size_t>(count);
}

}  // namespace

int largest_backlog() { return SOMAXCONN; }

Result<Socket> listen_on(const SocketAddress& address, int backlog) {
  Result<NativeSocket> opened = open_socket(address);
  if (!opened) return take_error(opened);
  Socket socket(*opened);
  int fd = fd_of(socket.native());
  // Connections of an earlier run that wait out their end hold the port
  // otherwise; the flag cannot fail on a new TCP socket.
  int yes = 1;
  (void)setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  // The unspecified IPv6 address takes IPv4 too, whatever the system's own
  // default (net.ipv6.bindv6only); a system without it keeps IPv6 alone.
  if (is_ipv6_any(address)) {
    int no = 0;
    (void)setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
  }
  SystemAddress system = to_system_address(address);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&system.storage),
           static_cast<socklen_t>(system.length)) != 0 ||
      listen(fd, backlog) != 0) {
    return std::unexpected(last_socket_error());
  }
  return socket;
}

// For a listener, Linux counts the connections not yet accepted in
// tcpi_unacked. An answer too short to reach it (qemu's user mode passes
// TCP options as one int) leaves the count unknown, not zero.
Result<std::size_t> connections_waiting(NativeSocket listener) {
  tcp_info info{};
  socklen_t length = sizeof info;
  if (getsockopt(fd_of(listener), IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
    return std::unexpected(last_socket_error());
  }
  constexpr std::size_t kNeeded = offsetof(tcp_info, tcpi_unacked) + sizeof info.tcpi_unacked;
  if (length < kNeeded) return std::unexpected(IoError::from_kind(ErrorKind::Unsupported));
  return info.tcpi_unacked;
}

namespace {

using NameCall = int (*)(int, sockaddr*, socklen_t*);

Result<SocketAddress> address_from(NativeSocket socket, NameCall call) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (call(fd_of(socket), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
    return std::unexpected(last_socket_error());
  }
  std::optional<SocketAddress> address = from_system_address(storage);
  if (!address) return std::unexpected(IoError::from_kind(ErrorKind::Unsupported));
  return *address;
}

}  // namespace

Result<SocketAddress> local_address(NativeSocket socket) {
  return address_from(socket, getsockname);
}

Result<SocketAddress> peer_address(NativeSocket socket) {
  return address_from(socket, getpeername);
}

bool takes_ipv4_too(NativeSocket listener) {
  int only = 1;
  socklen_t length = sizeof only;
  if (getsockopt(fd_of(listener), IPPROTO_IPV6, IPV6_V6ONLY, &only, &length) != 0) return false;
  return only == 0;
}

Result<std::uint16_t> local_port(NativeSocket socket) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (getsockname(fd_of(socket), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
    return std::unexpected(last_socket_error());
  }
  // Both families keep the port at the same place, in network order.
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

Result<Socket> accept_connection(NativeSocket listener) {
  int fd = -1;
  do {
    fd = accept4(fd_of(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  } while (fd < 0 && errno == ECONNABORTED);
  if (fd < 0) return std::unexpected(interruptible_socket_error());
  Result<std::uint64_t> kept = clear_of_standard_streams(static_cast<std::uint64_t>(fd));
  if (!kept) return take_error(kept);
  return Socket(*kept);
}

Status set_non_blocking(NativeSocket socket) {
  int yes = 1;
  if (ioctl(fd_of(socket), FIONBIO, &yes) != 0) return last_socket_error();
  return {};
}

Status reset_on_close(NativeSocket socket) {
  linger reset{1, 0};
  if (setsockopt(fd_of(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset) != 0) {
    return last_socket_error();
  }
  return {};
}

Result<std::size_t> receive_some(NativeSocket socket, std::span<std::uint8_t> buffer) {
  return count_or_error(recv(fd_of(socket), buffer.data(), buffer.size(), 0));
}

Result<std::size_t> peek_some(NativeSocket socket, std::span<std::uint8_t> buffer) {
  return count_or_error(recv(fd_of(socket), buffer.data(), buffer.size(), MSG_PEEK));
}

// Linux drops what MSG_TRUNC asks for from a TCP stream without copying it.
Result<std::size_t> discard_some(NativeSocket socket, std::span<std::uint8_t> scratch) {
  return count_or_error(recv(fd_of(socket), scratch.data(), scratch.size(), MSG_TRUNC));
}

Status pending_failure(NativeSocket socket) {
  int code = 0;
  socklen_t length = sizeof code;
  if (getsockopt(fd_of(socket), SOL_SOCKET, SO_ERROR, &code, &length) != 0) {
    return last_socket_error();
  }
  if (code != 0) return IoError::from_os_code(code);
  return {};
}

Result<std::size_t> bytes_waiting(NativeSocket socket) {
  int count = 0;
  if (ioctl(fd_of(socket), FIONREAD, &count) != 0) return std::unexpected(last_socket_error());
  return static_cast<std::size_t>(std::max(count, 0));
}

}  // namespace fc
