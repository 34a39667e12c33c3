// The serving loop. One wait covers the listener and every connection, so
// that a peer that is idle or slow holds up no other, and its cost grows with
// the connections that have news, not with those open. What each connection
// waits for, and its deadlines, are the business of Connections; this loop
// owns the system's side: the wait, the listener, the clock and the stop.
//
// Deadlines run on a clock that stops while standard output or standard
// error is written, so that time spent waiting for them counts as no peer's
// silence.

#include "receiver/server.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "console/interrupts.h"
#include "net/poller.h"
#include "net/serving_ops.h"
#include "receiver/connections.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

using Clock = std::chrono::steady_clock;

// Frames longer than this are refused without taking in their claimed size.
constexpr std::uint32_t kMaxPayload = 16u << 20;

// The most bytes looked at in one read, so that a fast sender holds up
// nobody else: a 64 KiB payload and its prefix, the longest short frame.
constexpr std::size_t kReadSize = std::size_t{64} * 1024 + 4;

// How long accepting rests after a failure other than "none waiting".
constexpr auto kAcceptRest = std::chrono::seconds(1);

// At a stop: the silence that ends a connection, and the longest wind-up.
constexpr auto kStopGrace = std::chrono::seconds(1);
constexpr auto kStopBound = std::chrono::seconds(5);

// The listener's token in the wait; a connection's is its address.
constexpr std::uint64_t kListenerToken = 0;

// A connection's socket, watched by the loop's wait.
class SystemSocket final : public PeerSocket {
 public:
  SystemSocket(Socket socket, Poller& poller) : socket_(std::move(socket)), poller_(poller) {}
  ~SystemSocket() override {
    if (watched_) poller_.forget(socket_.native());
  }

  Result<std::size_t> peek(std::span<std::uint8_t> buffer) override {
    return peek_some(socket_.native(), buffer);
  }
  Result<std::size_t> receive(std::span<std::uint8_t> buffer) override {
    return receive_some(socket_.native(), buffer);
  }
  Result<std::size_t> discard(std::span<std::uint8_t> scratch) override {
    return discard_some(socket_.native(), scratch);
  }
  Result<std::size_t> waiting() override { return bytes_waiting(socket_.native()); }
  Result<std::size_t> hold(std::size_t bytes) override {
    return poller_.expect(socket_.native(), bytes);
  }
  Status failure() override { return pending_failure(socket_.native()); }
  Status watch(Watch what, std::uint64_t token) override {
    if (!watched_) {
      watched_ = true;
      return poller_.add(socket_.native(), what, token);
    }
    return poller_.change(socket_.native(), what, token);
  }

 private:
  Socket socket_;
  Poller& poller_;
  bool watched_ = false;
};

ReaderLimits reader_limits(const Options& options) {
  std::size_t budget = std::size_t{options.memory_mib} << 20;
  return {kReadSize, budget,
          static_cast<std::uint32_t>(std::min<std::size_t>(kMaxPayload, budget))};
}

ServingLimits serving_limits(const Options& options) {
  return {std::chrono::seconds(options.idle_seconds), std::chrono::seconds(options.frame_seconds),
          kStopGrace, kStopBound};
}

class Server {
 public:
  Server(const Options& options, Socket listener, Poller poller, Reporter& reporter,
         LineOutput& output)
      : options_(options),
        listener_(std::move(listener)),
        poller_(std::move(poller)),
        reporter_(reporter),
        output_(output),
        printer_(options.format, output, options.frames),
        connections_(serving_limits(options), reader_limits(options), printer_, reporter) {}

  int run();

 private:
  // The serving clock: real time less the time spent writing output.
  SteadyTime now() const {
    return Clock::now() - output_.time_writing() - reporter_.time_writing();
  }
  bool accepting() const {
    return options_.connections == 0 || connections_.taken() < options_.connections;
  }
  bool done();
  bool turn();
  int wait_milliseconds(SteadyTime now) const;
  void accept_waiting(SteadyTime now);
  void rest(SteadyTime now);
  void end_rest();
  void close_waiting();
  void close_listener();
  int stopped_at_once();
  std::string summary() const;

  Options options_;
  Socket listener_;
  Poller poller_;
  Reporter& reporter_;
  LineOutput& output_;
  Printer printer_;
  Connections connections_;
  bool stopping_ = false;
  bool resting_ = false;  // from accepting, after a failure
  SteadyTime rest_end_{};
  std::size_t open_at_rest_ = 0;  // connections open when the rest began
  bool accept_failed_ = false;    // an accept has failed
};

int Server::run() {
  if (Status status = poller_.add(listener_.native(), Watch::kInput, kListenerToken);
      !status.ok()) {
    reporter_.fault("wait: " + display_text(status.error()));
    close_listener();
  }
  while (!stop_forced() && !done() && turn()) {
  }
  if (stop_forced()) return stopped_at_once();
  printer_.set_time(std::chrono::system_clock::now());
  connections_.close_all(true);
  connections_.erase_closed();
  close_waiting();
  Status finished = output_.finish();
  // A second request while the last lines wait for their stream.
  if (stop_forced()) return stopped_at_once();
  if (!finished.ok()) {
    reporter_.fault("cannot write to standard output: " + display_text(finished.error()));
  }
  reporter_.note(summary());
  reporter_.finish();
  if (stop_forced()) return stopped_at_once();
  return reporter_.status();
}

// What went through: "3 frames, 84 bytes, 2 connections, 1 fault".
std::string Server::summary() const {
  return counted(printer_.frames(), "frame") + ", " + counted(printer_.bytes(), "byte") + ", " +
         counted(connections_.taken(), "connection") + ", " + counted(reporter_.faults(), "fault");
}

// Whether the run is over: the frames asked for printed, or every connection
// ended once no more can come, or at a stop, once those waiting to be taken
// were taken too.
bool Server::done() {
  if (printer_.full()) return true;
  if (!stopping_ && interrupts() > 0) {
    stopping_ = true;
    SteadyTime start = now();
    connections_.stop(start);
    accept_waiting(start);
    connections_.erase_closed();
  }
  if (!connections_.empty()) return false;
  if (!stopping_ || !listener_.valid()) return !listener_.valid();
  // Descriptors freed as connections ended: the rest ends, and those still
  // waiting are taken.
  end_rest();
  std::uint64_t taken = connections_.taken();
  accept_waiting(now());
  return connections_.taken() == taken;
}

// One turn: waits for news and takes it, looks again where bytes were left
// waiting, drops the connections past a deadline. False when the wait
// itself failed.
bool Server::turn() {
  // Asked for while a write waited, where the signal cut no wait short.
  if (summary_asked()) reporter_.note(summary());
  SteadyTime start = now();
  // At a stop, a descriptor freed ends the rest: one more can be taken.
  bool freed = stopping_ && connections_.open_count() < open_at_rest_;
  if (start >= rest_end_ || freed) end_rest();
  int timeout = connections_.looking_again() ? 0 : wait_milliseconds(start);
  Result<std::span<const PollEvent>> events = poller_.wait(timeout);
  if (!events && !events.error().is_interrupted()) {
    reporter_.fault("wait: " + display_text(events.error()));
    return false;
  }
  // A signal lets itself in only during the wait, and cuts it short: the
  // summary it asks for, and the records of a stop it asks for, come now.
  if (summary_asked()) reporter_.note(summary());
  printer_.set_time(std::chrono::system_clock::now());
  if (!events) return true;
  SteadyTime heard = now();
  for (const PollEvent& event : *events) {
    if (event.token == kListenerToken) {
      accept_waiting(heard);
    } else {
      connections_.news(event.token, event.ended, event.failed, heard);
    }
  }
  if (connections_.looking_again()) connections_.look_again(now());
  connections_.expire(now());
  connections_.erase_closed();
  // A connection's events go out as soon as its frames do.
  (void)output_.flush();
  return true;
}

// How long the next wait may last: until the next deadline, the end of a
// rest from accepting, or the next look at a request to stop where a request
// cannot cut a wait short.
int Server::wait_milliseconds(SteadyTime now) const {
  std::optional<SteadyTime> until = connections_.next_due();
  if (resting_ && (!until || rest_end_ < *until)) until = rest_end_;
  int check = interrupt_check_milliseconds();
  if (check >= 0) {
    SteadyTime look = now + std::chrono::milliseconds(check);
    if (!until || look < *until) until = look;
  }
  if (!until) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - now).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 86400000));
}

// Takes every connection waiting, up to the limit of connections; once that
// many are taken the listener closes, so that any further peer is refused
// rather than left unheard.
void Server::accept_waiting(SteadyTime now) {
  while (listener_.valid() && accepting() && !resting_) {
    Result<Socket> socket = accept_connection(listener_.native());
    if (!socket) {
      if (socket.error().is_interrupted()) continue;
      if (socket.error().kind() != ErrorKind::WouldBlock) {
        // Out of descriptors or memory, say: try again a moment later. At a
        // stop, where every descriptor freed is tried at once, it is not
        // told again.
        if (!stopping_ || !accept_failed_) {
          reporter_.fault("accept: " + display_text(socket.error()));
        }
        accept_failed_ = true;
        rest(now);
      }
      return;
    }
    // Records name the peer; a plain line does not.
    std::string address;
    if (options_.format != Format::kPlain) {
      Result<SocketAddress> peer = peer_address(socket->native());
      address = peer ? socket_address_text(*peer) : "unknown";
    }
    (void)connections_.open(std::make_unique<SystemSocket>(std::move(*socket), poller_),
                            std::move(address), now);
  }
  if (!accepting()) close_listener();
}

void Server::end_rest() {
  if (!resting_) return;
  resting_ = false;
  (void)poller_.change(listener_.native(), Watch::kInput, kListenerToken);
}

void Server::rest(SteadyTime now) {
  resting_ = true;
  rest_end_ = now + kAcceptRest;
  open_at_rest_ = connections_.open_count();
  (void)poller_.change(listener_.native(), Watch::kFailure, kListenerToken);
}

// The connections still waiting to be taken are closed with the listener,
// and told by their count where the system can tell it.
void Server::close_waiting() {
  if (!listener_.valid()) return;
  std::size_t left = connections_waiting(listener_.native()).value_or(0);
  close_listener();
  if (left > 0) reporter_.fault(counted(left, "connection") + " waiting to be taken closed unread");
}

void Server::close_listener() {
  if (!listener_.valid()) return;
  poller_.forget(listener_.native());
  listener_.reset();
}

// A second request: nothing more waits, and the report is written only if
// standard error takes it at once.
int Server::stopped_at_once() {
  std::string what = counted(output_.lines_dropped(), "line") + " not printed in full";
  if (!connections_.empty()) {
    what += ", " + counted(connections_.open_count(), "connection") + " closed unread";
  }
  reporter_.last_fault("stopped at once: " + what);
  reporter_.last_fault(summary(), false);
  connections_.close_all(true);
  connections_.erase_closed();
  close_listener();
  return 1;
}

}  // namespace

int serve(const Options& options, Socket listener, Reporter& reporter, LineOutput& output) {
  Result<Poller> poller = Poller::open();
  if (!poller) {
    reporter.fault("wait: " + display_text(poller.error()));
    return reporter.status();
  }
  auto server =
      std::make_unique<Server>(options, std::move(listener), std::move(*poller), reporter, output);
  return server->run();
}

}  // namespace fc::receiver
