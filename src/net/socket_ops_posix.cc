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

IoError last_socket_error() { return last_os_error(); }

IoError interruptible_socket_error() {
  if (errno == EINTR) return IoError::from_kind(ErrorKind::Interrupted);
  return last_os_error();
}

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
  ssize_t sent = send(fd_of(socket), bytes.data(), length, MSG_NOSIGNAL);
  if (sent < 0) return std::unexpected(interruptible_socket_error());
  return static_cast<std::size_t>(sent);
}

void close_socket(NativeSocket socket) { close(fd_of(socket)); }

}  // namespace fc
