#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "net/sockaddr_conversion.h"
#include "net/serving_ops.h"

namespace fc {
namespace {

SOCKET native(NativeSocket socket) { return static_cast<SOCKET>(socket); }

// recv() counts in an int: a larger buffer is offered 1 GiB at a time.
Result<std::size_t> receive_with(NativeSocket socket, std::span<std::uint8_t> buffer, int flags) {
  int length = static_cast<int>(std::min<std::size_t>(buffer.size(), 1 << 30));
  int count = recv(native(socket), reinterpret_cast<char*>(buffer.data()), length, flags);
  if (count == SOCKET_ERROR) return std::unexpected(interruptible_socket_error());
  return static_cast<std::size_t>(count);
}

}  // namespace

int largest_backlog() { return SOMAXCONN; }

Result<Socket> listen_on(const SocketAddress& address, int backlog) {
  ensure_network_started();
  Result<NativeSocket> opened = open_socket(address);
  if (!opened) return take_error(opened);
  Socket socket(*opened);
  // Nobody else may take the port from under the listener; the flag cannot
  // fail on a new socket.
  BOOL yes = TRUE;
  (void)setsockopt(native(socket.native()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&yes), sizeof yes);
  // The unspecified IPv6 address takes IPv4 too: Windows keeps IPv6 alone
  // unless told.
  if (is_ipv6_any(address)) {
    DWORD no = 0;
    (void)setsockopt(native(socket.native()), IPPROTO_IPV6, IPV6_V6ONLY,
                     reinterpret_cast<const char*>(&no), sizeof no);
  }
  SystemAddress system = to_system_address(address);
  if (bind(native(socket.native()), reinterpret_cast<const sockaddr*>(&system.storage),
           system.length) == SOCKET_ERROR ||
      listen(native(socket.native()), backlog) == SOCKET_ERROR) {
    return std::unexpected(last_socket_error());
  }
  return socket;
}

// Winsock does not tell.
Result<std::size_t> connections_waiting(NativeSocket) {
  return std::unexpected(IoError::from_kind(ErrorKind::Unsupported));
}

namespace {

using NameCall = int(WSAAPI*)(SOCKET, sockaddr*, int*);

Result<SocketAddress> address_from(NativeSocket socket, NameCall call) {
  sockaddr_storage storage;
  std::memset(&storage, 0, sizeof storage);
  int length = sizeof storage;
  if (call(native(socket), reinterpret_cast<sockaddr*>(&storage), &length) == SOCKET_ERROR) {
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
  DWORD only = 1;
  int length = sizeof only;
  if (getsockopt(native(listener), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<char*>(&only),
                 &length) == SOCKET_ERROR) {
    return false;
  }
  return only == 0;
}

Result<std::uint16_t> local_port(NativeSocket socket) {
  sockaddr_storage storage;
  std::memset(&storage, 0, sizeof storage);
  int length = sizeof storage;
  if (getsockname(native(socket), reinterpret_cast<sockaddr*>(&storage), &length) == SOCKET_ERROR) {
    return std::unexpected(last_socket_error());
  }
  // Both families keep the port at the same place, in network order.
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

Result<Socket> accept_connection(NativeSocket listener) {
  SOCKET accepted = INVALID_SOCKET;
  do {
    // The new socket takes the listener's properties, no-inherit included.
    accepted = accept(native(listener), nullptr, nullptr);
  } while (accepted == INVALID_SOCKET && WSAGetLastError() == WSAECONNRESET);
  if (accepted == INVALID_SOCKET) return std::unexpected(interruptible_socket_error());
  Socket socket(accepted);
  if (Status status = set_non_blocking(socket.native()); !status.ok()) {
    return std::unexpected(status.take_error());
  }
  return socket;
}

Status set_non_blocking(NativeSocket socket) {
  u_long yes = 1;
  if (ioctlsocket(native(socket), FIONBIO, &yes) == SOCKET_ERROR) return last_socket_error();
  return {};
}

Status reset_on_close(NativeSocket socket) {
  linger reset{1, 0};
  if (setsockopt(native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
                 sizeof reset) == SOCKET_ERROR) {
    return last_socket_error();
  }
  return {};
}

Result<std::size_t> receive_some(NativeSocket socket, std::span<std::uint8_t> buffer) {
  return receive_with(socket, buffer, 0);
}

Result<std::size_t> peek_some(NativeSocket socket, std::span<std::uint8_t> buffer) {
  return receive_with(socket, buffer, MSG_PEEK);
}

Result<std::size_t> discard_some(NativeSocket socket, std::span<std::uint8_t> scratch) {
  return receive_with(socket, scratch, 0);
}

Status pending_failure(NativeSocket socket) {
  int code = 0;
  int length = sizeof code;
  if (getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length) ==
      SOCKET_ERROR) {
    return last_socket_error();
  }
  if (code != 0) return IoError::from_os_code(code);
  return {};
}

Result<std::size_t> bytes_waiting(NativeSocket socket) {
  u_long count = 0;
  if (ioctlsocket(native(socket), FIONREAD, &count) == SOCKET_ERROR) {
    return std::unexpected(last_socket_error());
  }
  return static_cast<std::size_t>(count);
}

}  // namespace fc
