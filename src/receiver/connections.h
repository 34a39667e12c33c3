#ifndef FC_RECEIVER_CONNECTIONS_H_
#define FC_RECEIVER_CONNECTIONS_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "error/io_error.h"
#include "net/poller.h"
#include "receiver/deadlines.h"
#include "receiver/frame_reader.h"
#include "receiver/printer.h"
#include "receiver/reporter.h"

// The connections served and what each waits for: the serving loop's logic,
// apart from the system. It applies each of the reader's answers to the wait
// and to the deadlines, drops the connections past a deadline, and winds
// them up at a stop. It never calls the system itself: each connection's
// socket does, so that tests give it sockets of their own and a clock of
// their own (every call is told the time).
//
// Deadlines: a connection is dropped when it has sent nothing for the idle
// limit, or when a frame under way (and not waiting for room) is not whole
// within the frame limit, so a frame that holds room keeps making progress or
// gives the room back.
//
// A stop: the connections between frames with nothing waiting are closed at
// once; every other one is read on until its frame is whole and nothing more
// waits, or its peer falls silent for the grace, or the stop's bound passes;
// a frame whose payload has all come is lent room beyond the budget, one at a
// time, if the room it waits for is held.

namespace fc::receiver {

/// A connection's socket, as the serving loop uses it: its bytes, and how
/// the wait watches it. Closed, and no longer watched, when destroyed.
class PeerSocket : public PeerBytes {
 public:
  virtual ~PeerSocket() = default;
  /// Watches the socket for `what`, its news told with `token`.
  virtual Status watch(Watch what, std::uint64_t token) = 0;
};

/// The serving loop's limits of time.
struct ServingLimits {
  std::chrono::steady_clock::duration idle;
  std::chrono::steady_clock::duration frame;
  /// At a stop: the silence that ends a connection, and the longest wind-up.
  std::chrono::steady_clock::duration grace;
  std::chrono::steady_clock::duration stop_bound;
};

class Connections;

/// One connection: its socket, its frames, and where it stands in the
/// deadlines. The reader's calls reach it as the PeerLink it is.
class Connection final : public PeerLink {
 public:
  Connection(Connections& owner, PeerName name, std::unique_ptr<PeerSocket> socket)
      : owner_(owner), name_(std::move(name)), socket_(std::move(socket)) {}

  std::uint64_t number() const { return name_.number; }
  /// Its token in the wait.
  std::uint64_t token() const { return reinterpret_cast<std::uintptr_t>(this); }
  FrameState state() const { return frames_.state(); }

  Result<std::size_t> peek(std::span<std::uint8_t> buffer) override {
    return socket_->peek(buffer);
  }
  Result<std::size_t> receive(std::span<std::uint8_t> buffer) override {
    return socket_->receive(buffer);
  }
  Result<std::size_t> discard(std::span<std::uint8_t> scratch) override {
    return socket_->discard(scratch);
  }
  Result<std::size_t> waiting() override { return socket_->waiting(); }
  Result<std::size_t> hold(std::size_t bytes) override;
  Status failure() override { return socket_->failure(); }
  void fault(std::string_view what) override;
  void granted(bool lost) override;
  const PeerName& name() const override { return name_; }

 private:
  friend class Connections;

  Connections& owner_;
  PeerName name_;
  std::unique_ptr<PeerSocket> socket_;
  PeerFrames frames_{*this};
  DeadlineSlot<Connection> idle_slot_;
  DeadlineSlot<Connection> frame_slot_;
  std::list<Connection>::iterator self_;
  Watch watch_ = Watch::kInput;
  std::size_t low_water_ = 1;
  std::size_t held_ = 1;
  StreamEnd end_ = StreamEnd::kOpen;
  bool open_ = true;
  bool again_ = false;  // on the list of those to look at again
  bool inside_ = false;
};

class Connections {
 public:
  Connections(const ServingLimits& limits, const ReaderLimits& reader_limits, Printer& printer,
              Reporter& reporter);

  /// Takes a connection from the peer at `address` on, numbered from 1 in
  /// the order taken, watched for input from `now`. Null when it cannot be
  /// watched (its fault told).
  Connection* open(std::unique_ptr<PeerSocket> socket, std::string address, SteadyTime now);
  /// News from the wait of the connection with `token`: input, or its
  /// stream's end (`ended`), or its failure (`failed`).
  void news(std::uint64_t token, bool ended, bool failed, SteadyTime now);
  /// A turn for each connection whose last turn left bytes waiting.
  void look_again(SteadyTime now);
  /// Whether some connection left bytes waiting: the next wait must not wait.
  bool looking_again() const { return !again_.empty(); }
  /// Drops the connections past a deadline, and at a stop those past its
  /// bound.
  void expire(SteadyTime now);
  /// When the next deadline passes; nothing while none runs.
  std::optional<SteadyTime> next_due() const;
  /// Begins the wind-up of a stop (see above).
  void stop(SteadyTime now);
  /// Closes every connection at once, each frame left unfinished told as
  /// "stopped inside ...", or not told when `quietly`.
  void close_all(bool quietly);
  /// Forgets the connections closed since the last call; done between turns,
  /// when no news names them any more.
  void erase_closed();

  bool empty() const { return open_count_ == 0; }
  std::size_t open_count() const { return open_count_; }
  std::uint64_t taken() const { return taken_; }
  const FrameReader& reader() const { return reader_; }

 private:
  friend class Connection;

  void turn(Connection& connection, StreamEnd end, SteadyTime now);
  void apply(Connection& connection, const Wants& wants, SteadyTime now);
  void close(Connection& connection);
  void granted(Connection& connection, bool lost);
  void fault(const Connection& connection, std::string_view what);
  bool winds_up(const Connection& connection) const;

  ServingLimits limits_;
  Printer& printer_;
  Reporter& reporter_;
  FrameReader reader_;
  std::list<Connection> connections_;
  std::vector<Connection*> closed_;
  std::vector<Connection*> again_;
  DeadlineList<Connection> idle_{limits_.idle, &Connection::idle_slot_};
  DeadlineList<Connection> framing_{limits_.frame, &Connection::frame_slot_};
  std::optional<SteadyTime> stop_end_;
  std::uint64_t taken_ = 0;
  std::size_t open_count_ = 0;
  SteadyTime now_{};  // of the turn under way, for the reader's calls outside it
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_CONNECTIONS_H_
