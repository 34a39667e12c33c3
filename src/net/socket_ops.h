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

/// Closes the socket; failures are ignored.
void close_socket(NativeSocket socket);

// The serving side. A call on a non-blocking socket that finds nothing to do
// yet fails with an error of kind WouldBlock; one that a signal cut short,
// with the kind Interrupted (is_interrupted()): both are for trying again.

/// The largest backlog of connections not yet accepted that the system takes.
int largest_backlog();

/// A socket listening on `address`, made as open_socket() makes one (never
/// inherited, never in a standard stream's place), with room for `backlog`
/// connections not yet accepted. On POSIX a port that an earlier run left
/// waiting out its last connections can be taken at once; on Windows no
/// other program may bind the same port beside it. Starts the network layer.
Result<NativeSocket> listen_on(const SocketAddress& address, int backlog);

/// The port the socket is bound to.
Result<std::uint16_t> local_port(NativeSocket socket);

/// The next connection on a listener, whose calls never wait, never
/// inherited and never in a standard stream's place; connections their
/// peers abandoned before they were taken are skipped.
Result<NativeSocket> accept_connection(NativeSocket listener);

/// Makes calls on the socket return at once instead of waiting.
Status set_non_blocking(NativeSocket socket);

/// Makes closing the socket reset the connection instead of ending it cleanly.
Status reset_on_close(NativeSocket socket);

/// One receive into `buffer`: how many bytes arrived, 0 at the end of the
/// stream (or for an empty buffer).
Result<std::size_t> receive_some(NativeSocket socket, std::span<std::uint8_t> buffer);

/// As receive_some(), but the bytes stay to be received again.
Result<std::size_t> peek_some(NativeSocket socket, std::span<std::uint8_t> buffer);

/// Takes up to `scratch.size()` bytes and drops them: how many. Where the
/// system can, they are dropped without being copied into `scratch`.
Result<std::size_t> discard_some(NativeSocket socket, std::span<std::uint8_t> scratch);

/// How many bytes a receive would take at once.
Result<std::size_t> bytes_waiting(NativeSocket socket);

}  // namespace fc

#endif  // FC_NET_SOCKET_OPS_H_
