#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "console/std_streams.h"
#include "debug_text/text_sink.h"
#include "debug_text/quoted.h"
#include "net/host_text.h"
#include "net/sockaddr_conversion.h"
#include "net/socket_ops.h"

namespace fc {
namespace {

int fd_of(NativeSocket socket) { return static_cast<int>(socket); }

IoError last_os_error() { return IoError::from_os_code(errno); }

// The error of a failed call: one that a signal cut short is to be tried
// again, as every caller does with Interrupted.
IoError interruptible_error() {
  if (errno == EINTR) return IoError::from_kind(ErrorKind::Interrupted);
  return last_os_error();
}

// A count returned by a call that fails with -1.
Result<std::size_t> count_or_error(ssize_t count) {
  if (count < 0) return std::unexpected(interruptible_error());
  return static_cast<std::size_t>(count);
}

// getaddrinfo reports most failures only through its return value; such a
// failure becomes a custom error carrying the resolver's own message.
class ResolverError final : public InnerError {
 public:
  explicit ResolverError(int code) : code_(code) {}

  void write_debug(TextSink& sink) const override { write_quoted(message(), sink); }
  void write_display(TextSink& sink) const override { sink.write(message()); }

 private:
  std::string message() const {
    return std::string("failed to look up address information: ") + gai_strerror(code_);
  }

  int code_;
};

ErrorKind resolver_error_kind(int code) {
  switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
      return ErrorKind::NotFound;
    case EAI_MEMORY: return ErrorKind::OutOfMemory;
    case EAI_FAMILY:
    case EAI_SOCKTYPE:
    case EAI_BADFLAGS:
    case EAI_SERVICE: return ErrorKind::InvalidInput;
    default: return ErrorKind::Uncategorized;
  }
}

IoError resolver_error(int code, int saved_errno) {
  // The resolver says the cause is in errno: report that like any OS error.
  if (code == EAI_SYSTEM && saved_errno != 0) return IoError::from_os_code(saved_errno);
  return IoError::custom(resolver_error_kind(code), std::make_unique<ResolverError>(code));
}

}  // namespace

// POSIX sockets need no start-up or shut-down.
void ensure_network_started() {}
void shut_down_network() {}

Result<std::vector<SocketAddress>> resolve_host_name(std::string_view host, std::uint16_t port) {
  HostText host_text(host);
  if (!host_text.valid()) {
    return std::unexpected(IoError::from_fixed(kUnexpectedNul));
  }

  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* raw_entries = nullptr;
  errno = 0;
  int code = getaddrinfo(host_text.c_str(), nullptr, &hints, &raw_entries);
  // On failure there is no result to release.
  if (code != 0) return std::unexpected(resolver_error(code, errno));
  ResolverEntries entries(raw_entries);
  return addresses_from_entries(entries.get(), port);
}

Result<NativeSocket> open_socket(const SocketAddress& address) {
  int family = std::holds_alternative<Ipv4Address>(address) ? AF_INET : AF_INET6;
  int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0) return clear_of_standard_streams(static_cast<NativeSocket>(fd));
  if (errno != EINVAL) return std::unexpected(last_os_error());

  // A system that refuses SOCK_CLOEXEC: create plainly, then set the flag.
  fd = socket(family, SOCK_STREAM, 0);
  if (fd < 0) return std::unexpected(last_os_error());
  if (fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
    IoError error = last_os_error();
    close(fd);
    return std::unexpected(std::move(error));
  }
  return clear_of_standard_streams(static_cast<NativeSocket>(fd));
}

Result<NativeSocket> connect_address(const SocketAddress& address) {
  Result<NativeSocket> socket = open_socket(address);
  if (!socket) return socket;
  SystemAddress system = to_system_address(address);
  if (connect(fd_of(*socket), reinterpret_cast<const sockaddr*>(&system.storage),
              static_cast<socklen_t>(system.length)) != 0) {
    IoError error = last_os_error();
    close(fd_of(*socket));
    return std::unexpected(std::move(error));
  }
  return socket;
}

Result<std::size_t> send_some(NativeSocket socket, std::span<const std::uint8_t> bytes) {
  std::size_t length = std::min<std::size_t>(bytes.size(), SSIZE_MAX);
  // MSG_NOSIGNAL: a broken connection comes back as EPIPE, never as SIGPIPE.
  // A signal that cuts the call short before anything was sent lets
  // send_all offer the same bytes again.
  return count_or_error(send(fd_of(socket), bytes.data(), length, MSG_NOSIGNAL));
}

void close_socket(NativeSocket socket) { close(fd_of(socket)); }

int largest_backlog() { return SOMAXCONN; }

Result<NativeSocket> listen_on(const SocketAddress& address, int backlog) {
  Result<NativeSocket> socket = open_socket(address);
  if (!socket) return socket;
  int fd = fd_of(*socket);
  // Connections of an earlier run that wait out their end hold the port
  // otherwise; the flag cannot fail on a new TCP socket.
  int yes = 1;
  (void)setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  SystemAddress system = to_system_address(address);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&system.storage),
           static_cast<socklen_t>(system.length)) != 0 ||
      listen(fd, backlog) != 0) {
    IoError error = last_os_error();
    close(fd);
    return std::unexpected(std::move(error));
  }
  return socket;
}

Result<std::uint16_t> local_port(NativeSocket socket) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (getsockname(fd_of(socket), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
    return std::unexpected(last_os_error());
  }
  // Both families keep the port at the same place, in network order.
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

Result<NativeSocket> accept_connection(NativeSocket listener) {
  int fd = -1;
  do {
    fd = accept4(fd_of(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  } while (fd < 0 && errno == ECONNABORTED);
  if (fd < 0) return std::unexpected(interruptible_error());
  return clear_of_standard_streams(static_cast<NativeSocket>(fd));
}

Status set_non_blocking(NativeSocket socket) {
  int yes = 1;
  if (ioctl(fd_of(socket), FIONBIO, &yes) != 0) return last_os_error();
  return {};
}

Status reset_on_close(NativeSocket socket) {
  linger reset{1, 0};
  if (setsockopt(fd_of(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset) != 0) {
    return last_os_error();
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

Result<std::size_t> bytes_waiting(NativeSocket socket) {
  int count = 0;
  if (ioctl(fd_of(socket), FIONREAD, &count) != 0) return std::unexpected(last_os_error());
  return static_cast<std::size_t>(std::max(count, 0));
}

}  // namespace fc
