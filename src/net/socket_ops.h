#ifndef FC_NET_SOCKET_OPS_H_
#define FC_NET_SOCKET_OPS_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "error/io_error.h"
#include "net/socket_address.h"

// The platform's socket layer, one implementation per platform. Callers see
// only these declarations.

namespace fc {

/// A platform socket handle (a file descriptor on POSIX, a SOCKET on Windows).
using NativeSocket = std::uint64_t;

/// Never a valid socket.
inline constexpr NativeSocket kNoSocket = ~NativeSocket{0};

/// Starts the platform's network layer once per process; later calls do
/// nothing. A failed start-up ends the process abnormally.
void ensure_network_started();

/// Shuts the network layer down if it was started. Called once at exit.
void shut_down_network();

/// A host text holding a NUL byte, which the system resolver cannot be given.
inline constexpr FixedMessage kUnexpectedNul{"file name contained an unexpected NUL byte",
                                             ErrorKind::InvalidInput};

/// Looks `host` up with the system resolver; the port is set in every address.
/// Families other than IPv4 and IPv6 are skipped; the list may be empty. A
/// host with a NUL byte is kUnexpectedNul, after the network has started.
Result<std::vector<SocketAddress>> resolve_host_name(std::string_view host, std::uint16_t port);

/// A new stream socket of the address's family, never inherited by children.
Result<NativeSocket> open_socket(const SocketAddress& address);

/// A socket connected to `address`; on failure the socket is closed again.
Result<NativeSocket> connect_address(const SocketAddress& address);

/// One send call: how many bytes the system took.
Result<std::size_t> send_some(NativeSocket socket, std::span<const std::uint8_t> bytes);

/// Closes the socket; failures are ignored. Socket (socket.h) owns one and
/// calls this once.
void close_socket(NativeSocket socket);

/// The error of the socket call that has just failed, read before anything
/// else can change it.
IoError last_socket_error();

/// The same, but a call that a signal cut short is an Interrupted error, for
/// the caller to try again.
IoError interruptible_socket_error();

}  // namespace fc

#endif  // FC_NET_SOCKET_OPS_H_
