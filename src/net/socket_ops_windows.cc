#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "console/panic.h"
#include "net/host_text.h"
#include "net/sockaddr_conversion.h"
#include "net/socket_create_windows.h"
#include "net/socket_ops.h"

namespace fc {
namespace {

static_assert(sizeof(SOCKET) == sizeof(NativeSocket) && INVALID_SOCKET == kNoSocket);

SOCKET native(NativeSocket socket) { return static_cast<SOCKET>(socket); }

// Set once the start-up has succeeded; the shut-down then owes one cleanup.
std::atomic<bool> g_network_started{false};

bool start_network() {
  WSADATA data;
  std::memset(&data, 0, sizeof data);
  // The run cannot go on without the network: a failure ends it abnormally.
  assert_equal(WSAStartup(MAKEWORD(2, 2), &data), 0);
  g_network_started.store(true, std::memory_order_release);
  return true;
}

}  // namespace

IoError last_socket_error() { return IoError::from_os_code(WSAGetLastError()); }

IoError interruptible_socket_error() {
  if (WSAGetLastError() == WSAEINTR) return IoError::from_kind(ErrorKind::Interrupted);
  return last_socket_error();
}

void ensure_network_started() {
  // A function-local static is the once-only guard: the first caller starts
  // the network, concurrent callers wait for it, later ones find it done.
  static const bool started = start_network();
  (void)started;
}

void shut_down_network() {
  if (g_network_started.load(std::memory_order_acquire)) (void)WSACleanup();
}

Result<std::vector<SocketAddress>> resolve_host_name(std::string_view host, std::uint16_t port) {
  ensure_network_started();
  HostText host_text(host);
  if (!host_text.valid()) {
    return std::unexpected(IoError::from_fixed(kUnexpectedNul));
  }

  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* raw_entries = nullptr;
  if (getaddrinfo(host_text.c_str(), nullptr, &hints, &raw_entries) != 0) {
    return std::unexpected(last_socket_error());
  }
  ResolverEntries entries(raw_entries);
  return addresses_from_entries(entries.get(), port);
}

Result<NativeSocket> open_socket(const SocketAddress& address) {
  int family = std::holds_alternative<Ipv4Address>(address) ? AF_INET : AF_INET6;
  return create_socket(system_socket_calls(), family);
}

Result<NativeSocket> connect_address(const SocketAddress& address) {
  ensure_network_started();
  Result<NativeSocket> socket = open_socket(address);
  if (!socket) return socket;
  SystemAddress system = to_system_address(address);
  if (connect(native(*socket), reinterpret_cast<const sockaddr*>(&system.storage), system.length) ==
      SOCKET_ERROR) {
    IoError error = last_socket_error();
    (void)closesocket(native(*socket));
    return std::unexpected(std::move(error));
  }
  return socket;
}

Result<std::size_t> send_some(NativeSocket socket, std::span<const std::uint8_t> bytes) {
  // send() takes a signed 32-bit length.
  int length = static_cast<int>(std::min<std::size_t>(bytes.size(), 2147483647));
  int taken = send(native(socket), reinterpret_cast<const char*>(bytes.data()), length, 0);
  if (taken == SOCKET_ERROR) return std::unexpected(last_socket_error());
  return static_cast<std::size_t>(taken);
}

void close_socket(NativeSocket socket) { (void)closesocket(native(socket)); }

}  // namespace fc
