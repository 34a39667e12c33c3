#ifndef FC_NET_POLLER_H_
#define FC_NET_POLLER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "error/io_error.h"
#include "net/socket_ops.h"

namespace fc {

/// What a socket is watched for. A failed connection is told whatever it is
/// watched for.
///
/// News is told once, when it comes (edge-triggered): input when more bytes
/// arrive (once as many as the low water wait), a connection when it comes,
/// an end or a failure when it happens. A socket whose news was not all taken
/// (bytes left waiting, a connection left unaccepted) is not told of it
/// again: its owner looks again by itself. Changing what a socket is watched
/// for tells what it has by then, so nothing that came in between is missed.
enum class Watch {
  kFailure,  ///< only its failure
  kEnd,      ///< its peer ending the stream, or its failure
  kInput,    ///< input (or a connection to accept), its end, or its failure
};

/// One socket's news from a wait.
struct PollEvent {
  std::uint64_t token = 0;  ///< as given to add()
  bool input = false;       ///< input waits (or a connection, or the end)
  bool ended = false;       ///< the peer ended its stream, or the connection failed
  /// The connection failed, or ended in a way the system does not tell
  /// apart from a failure.
  bool failed = false;
};

/// Waits on many sockets at once. On Linux the cost of a wait grows with the
/// sockets that have news, not with those watched (epoll); Windows looks at
/// every socket in each wait (WSAPoll). A request to stop (interrupts.h) cuts
/// a wait short on POSIX.
class Poller {
 public:
  /// A poller of its own, never inherited by children.
  static Result<Poller> open();

  Poller(Poller&& other) noexcept;
  Poller& operator=(Poller&& other) noexcept;
  ~Poller();

  /// Starts watching the socket.
  Status add(NativeSocket socket, Watch what, std::uint64_t token);
  /// Changes what a socket watched is watched for.
  Status change(NativeSocket socket, Watch what, std::uint64_t token);
  /// Makes input count only once `low_water` bytes wait, or the stream has
  /// ended, so that a reader who needs that many is not woken for less; a
  /// socket starts at 1. How many bytes the system will hold for it before
  /// its peer must stop sending: fewer than asked where its limits are lower,
  /// and then the reader must take bytes in to see more.
  Result<std::size_t> expect(NativeSocket socket, std::size_t low_water);
  /// Stops watching the socket; done before it is closed.
  void forget(NativeSocket socket);
  /// Waits at most `milliseconds` (-1: without end) for news. A wait that a
  /// signal cut short is an Interrupted error.
  Result<std::span<const PollEvent>> wait(int milliseconds);

 private:
  struct State;
  explicit Poller(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
};

}  // namespace fc

#endif  // FC_NET_POLLER_H_
