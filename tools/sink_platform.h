#ifndef FC_TOOLS_SINK_PLATFORM_H_
#define FC_TOOLS_SINK_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string>

// The few system calls frame-sink makes, one implementation per platform.
// The end-to-end tests' receiver uses them too.

namespace fc::sink {

/// A socket of the platform (a descriptor on POSIX, a SOCKET on Windows).
using SocketHandle = std::uint64_t;

/// Never a valid socket.
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};

/// Sets the process up for serving: a peer that goes away never kills it,
/// standard output takes bytes unchanged, and (where the platform lets a
/// signal cut a blocking call short) Ctrl-C asks it to stop.
void prepare_process();

/// Whether a stop was asked for.
bool stop_requested();

/// A socket listening on 127.0.0.1:`port` (0: any free port), or kNoSocket
/// with the reason. Starts the platform's network layer where it needs one.
SocketHandle listen_loopback(std::uint16_t port, int backlog, std::string* why);

/// The local port a socket is bound to.
std::uint16_t local_port(SocketHandle socket);

/// Whether the socket becomes readable (or has a connection to accept)
/// within `milliseconds`.
bool wait_readable(SocketHandle socket, int milliseconds);

/// Makes closing the socket reset the connection (linger 0) instead of
/// ending it cleanly.
void reset_on_close(SocketHandle socket);

/// The next connection, or kNoSocket; then last_call_interrupted() tells
/// whether only a signal cut the wait short.
SocketHandle accept_connection(SocketHandle listener);

/// One receive: the count of bytes read, 0 at the end of the stream, or -1.
long receive(SocketHandle socket, std::uint8_t* data, std::size_t size);

/// Whether the last failed call was only cut short by a signal.
bool last_call_interrupted();

/// The system's text for the last failed call.
std::string last_error_text();

void close_socket(SocketHandle socket);

}  // namespace fc::sink

#endif  // FC_TOOLS_SINK_PLATFORM_H_
