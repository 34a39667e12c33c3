#ifndef FC_NET_SERVING_OPS_H_
#define FC_NET_SERVING_OPS_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "error/io_error.h"
#include "net/socket.h"
#include "net/socket_address.h"

// The serving side of the socket layer, one implementation per platform:
// listening, accepting and receiving. Only the receiver and the tests call
// it, and it has object files of its own, so the client links none of it.
//
// A call on a non-blocking socket that finds nothing to do yet fails with an
// error of kind WouldBlock; one that a signal cut short, with the kind
// Interrupted (is_interrupted()): both are for trying again.

namespace fc {

/// The largest backlog of connections not yet accepted that the system takes.
int largest_backlog();

/// A socket listening on `address`, made as open_socket() makes one (never
/// inherited, never in a standard stream's place), with room for `backlog`
/// connections not yet accepted. On POSIX a port that an earlier run left
/// waiting out its last connections can be taken at once; on Windows no
/// other program may bind the same port beside it. One on the IPv6 address
/// :: takes IPv4 connections too where the system can (dual stack; see
/// takes_ipv4_too). Starts the network layer.
Result<Socket> listen_on(const SocketAddress& address, int backlog);

/// A listener on `address` whose calls never wait, with the largest backlog:
/// how the receiver and the tests' own receiver listen.
Result<Socket> open_listener(const SocketAddress& address);

/// How many connections wait on a listener to be accepted, where the system
/// tells (Linux); an error elsewhere.
Result<std::size_t> connections_waiting(NativeSocket listener);

/// The address the socket is bound to, and the address of its peer.
Result<SocketAddress> local_address(NativeSocket socket);
Result<SocketAddress> peer_address(NativeSocket socket);

/// Whether an IPv6 listener takes IPv4 connections too.
bool takes_ipv4_too(NativeSocket listener);

/// The port the socket is bound to.
Result<std::uint16_t> local_port(NativeSocket socket);

/// The next connection on a listener, whose calls never wait, never
/// inherited and never in a standard stream's place; connections their
/// peers abandoned before they were taken are skipped.
Result<Socket> accept_connection(NativeSocket listener);

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

/// The failure a connection ended with (a reset, say), taken from the
/// socket; success when there is none.
Status pending_failure(NativeSocket socket);

/// How many bytes a receive would take at once.
Result<std::size_t> bytes_waiting(NativeSocket socket);

}  // namespace fc

#endif  // FC_NET_SERVING_OPS_H_
