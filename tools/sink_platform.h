#ifndef FC_TOOLS_SINK_PLATFORM_H_
#define FC_TOOLS_SINK_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The few system calls frame-sink makes, one implementation per platform.
// The end-to-end tests' receiver uses them too.

namespace fc::sink {

/// A socket of the platform (a descriptor on POSIX, a SOCKET on Windows).
using SocketHandle = std::uint64_t;

/// Never a valid socket.
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};

/// Sets the process up for serving, as the client is set up (the standard
/// streams' places held, no signal from a failed write), and more: Ctrl-C
/// (SIGTERM too on POSIX) asks it to stop, it may hold as many sockets as the
/// system lets it, and a large buffer's memory goes back to the system when
/// it is freed.
void prepare_process();

/// Whether a stop was asked for.
bool stop_requested();

/// A socket listening on 127.0.0.1:`port` (0: any free port), never in a
/// standard stream's place, or kNoSocket with the reason. Starts the
/// platform's network layer where it needs one.
SocketHandle listen_loopback(std::uint16_t port, int backlog, std::string* why);

/// The largest listen backlog the system takes.
int largest_backlog();

/// The local port a socket is bound to.
std::uint16_t local_port(SocketHandle socket);

/// A socket to watch for input; wait_for_input sets `ready`.
struct WatchedSocket {
  SocketHandle socket = kNoSocket;
  /// Input, a connection to accept, the end of the stream or an error waits.
  bool ready = false;
};

/// Waits at most `milliseconds` until one of the sockets is ready and marks
/// those that are. The count ready: 0 when none became ready in time or a
/// signal cut the wait short, -1 when the wait failed.
int wait_for_input(std::span<WatchedSocket> sockets, int milliseconds);

/// Whether the socket becomes readable (or has a connection to accept)
/// within `milliseconds`.
inline bool wait_readable(SocketHandle socket, int milliseconds) {
  WatchedSocket watched{socket};
  return wait_for_input({&watched, 1}, milliseconds) > 0;
}

/// Makes calls on the socket return at once instead of waiting; false on
/// failure.
bool make_non_blocking(SocketHandle socket);

/// Makes closing the socket reset the connection (linger 0) instead of
/// ending it cleanly.
void reset_on_close(SocketHandle socket);

/// The next connection, skipping any its peer abandoned before it was
/// taken, never in a standard stream's place, or kNoSocket; then
/// last_call_interrupted() tells whether only a signal cut the wait short,
/// and last_call_would_block() whether a non-blocking listener has none
/// waiting.
SocketHandle accept_connection(SocketHandle listener);

/// One receive: the count of bytes read, 0 at the end of the stream, or -1.
long receive(SocketHandle socket, std::uint8_t* data, std::size_t size);

/// As receive(), but the bytes stay to be received again.
long peek(SocketHandle socket, std::uint8_t* data, std::size_t size);

/// How many bytes the socket holds that a receive would take at once; 0 when
/// that cannot be told.
std::size_t bytes_waiting(SocketHandle socket);

/// Waits until standard output, which refused a write because it would have
/// to wait (a non-blocking descriptor that is full), may take bytes again.
void wait_for_output_room();

/// Whether the last failed call was only cut short by a signal.
bool last_call_interrupted();

/// Whether the last failed call on a non-blocking socket found nothing to
/// do yet.
bool last_call_would_block();

/// The system's text for the last failed call.
std::string last_error_text();

void close_socket(SocketHandle socket);

}  // namespace fc::sink

#endif  // FC_TOOLS_SINK_PLATFORM_H_
