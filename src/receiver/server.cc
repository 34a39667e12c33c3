// The serving loop. One wait covers the listener and every connection, so
// that a peer that is idle or slow holds up no other, and its cost grows with
// the connections that have news, not with those open.
//
// Each connection is dropped when it has sent nothing for the idle limit, or
// when a frame under way (and not waiting for room) is not whole within the
// frame limit: so a frame that holds room keeps making progress or gives the
// room back. Both deadlines are the same for every connection, so two lists
// ordered by deadline, each kept by moving a connection to its end, tell the
// next one due at a glance.
//
// Time spent writing standard output does not count as any peer's silence:
// deadlines run on a clock that stops while output is written.

#include "receiver/server.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/std_streams.h"
#include "net/poller.h"
#include "receiver/frame_reader.h"
#include "receiver/line_output.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

using Clock = std::chrono::steady_clock;

// Frames longer than this are refused without taking in their claimed size.
constexpr std::uint32_t kMaxPayload = 16u << 20;

// The most bytes looked at in one read, so that a fast sender holds up
// nobody else: a 64 KiB payload and its prefix, the longest short frame.
constexpr std::size_t kReadSize = std::size_t{64} * 1024 + 4;

// The longest wait between two looks at a stop request: a stop may be asked
// for just before a wait begins, and on Windows it never cuts a wait short.
constexpr int kStopCheckMilliseconds = 200;

// How long accepting rests after a failure other than "none waiting".
constexpr auto kAcceptRest = std::chrono::seconds(1);

// The listener's token in the poller; a connection's is its address.
constexpr std::uint64_t kListenerToken = 0;

struct Peer;
using PeerList = std::list<Peer*>;

// One connection: its frames, read through its socket.
struct Peer final : PeerFrames, PeerInput {
  Result<std::size_t> peek(std::span<std::uint8_t> into) override {
    return peek_some(socket, into);
  }
  Result<std::size_t> receive(std::span<std::uint8_t> into) override {
    return receive_some(socket, into);
  }
  Result<std::size_t> discard(std::span<std::uint8_t> scratch) override {
    return discard_some(socket, scratch);
  }
  Result<std::size_t> waiting() override { return bytes_waiting(socket); }

  NativeSocket socket = kNoSocket;
  std::list<Peer>::iterator self;
  Clock::time_point heard;          // on the serving clock
  Clock::time_point frame_began;    // of the frame under way
  std::uint64_t frame_counted = 0;  // frames_done when that frame began
  std::size_t known_waiting = 0;    // bytes known to wait with the system
  PeerList::iterator idle_place;
  PeerList::iterator frame_place;
  bool idle_listed = false;
  bool frame_listed = false;
  Watch watch = Watch::kInput;
  std::size_t low_water = 1;
  StreamEnd end = StreamEnd::kOpen;
  bool open = true;
};

// A connection's token in the poller: its address, on machines of either
// width.
std::uint64_t token_of(const Peer& peer) { return reinterpret_cast<std::uintptr_t>(&peer); }

class Server final : ReaderEvents {
 public:
  Server(const Options& options, NativeSocket listener, Poller poller)
      : options_(options),
        listener_(listener),
        poller_(std::move(poller)),
        output_(stdout_device(), stop_forced),
        reader_(limits(options), output_, *this) {}

  int run();

 private:
  static ReaderLimits limits(const Options& options) {
    std::size_t budget = std::size_t{options.memory_mib} << 20;
    return {kReadSize, budget,
            static_cast<std::uint32_t>(std::min<std::size_t>(kMaxPayload, budget))};
  }

  void fault(const PeerFrames& peer, std::string_view what) override;
  void granted(PeerFrames& peer) override;
  void lost(PeerFrames& peer) override { close_peer(static_cast<Peer&>(peer)); }

  // The serving clock: real time less the time spent writing output.
  Clock::time_point now() const { return Clock::now() - output_.time_writing(); }
  bool accepting() const { return options_.connections == 0 || accepted_ < options_.connections; }
  bool serve_turn();
  int wait_milliseconds(Clock::time_point now) const;
  void accept_waiting();
  void close_listener();
  void after_take(Peer& peer, Turn turn);
  void heard(Peer& peer);
  void follow(Peer& peer);
  void expire();
  void close_peer(Peer& peer);
  void erase_closed();
  void drain();
  void report(std::string_view line);

  Options options_;
  NativeSocket listener_;
  Poller poller_;
  LineOutput output_;
  FrameReader reader_;
  std::list<Peer> peers_;
  PeerList idle_;     // by the time each was last heard
  PeerList framing_;  // by the time each one's frame began
  std::vector<Peer*> closed_;
  std::uint64_t accepted_ = 0;
  bool resting_ = false;  // from accepting, after a failure
  Clock::time_point rest_end_;
  bool all_well_ = true;
};

// "1 line", "2 lines".
std::string counted(std::uint64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

void Server::report(std::string_view line) {
  (void)write_stderr("frame-sink: " + std::string(line) + "\n");
  all_well_ = false;
}

void Server::fault(const PeerFrames& peer, std::string_view what) {
  report("connection " + std::to_string(peer.number) + ": " + std::string(what));
}

void Server::granted(PeerFrames& frames) {
  Peer& peer = static_cast<Peer&>(frames);
  peer.heard = now();
  follow(peer);
}

int Server::run() {
  if (Status status = poller_.add(listener_, Watch::kInput, kListenerToken); !status.ok()) {
    report("wait: " + display_text(status.error()));
    close_listener();
  }
  while (!stop_requested() && (listener_ != kNoSocket || !peers_.empty()) && serve_turn()) {
  }
  if (stop_requested()) drain();
  for (Peer& peer : peers_) close_peer(peer);
  erase_closed();
  close_listener();
  if (stop_forced()) return 1;  // nothing more is written
  if (Status status = output_.finish(); !status.ok()) {
    report("cannot write to standard output: " + display_text(status.error()));
  }
  return all_well_ ? 0 : 1;
}

// One turn: waits for news, takes what arrived, drops the connections past a
// deadline, takes new ones. False when the wait itself failed.
bool Server::serve_turn() {
  Clock::time_point start = now();
  if (resting_ && start >= rest_end_) {
    resting_ = false;
    (void)poller_.change(listener_, Watch::kInput, kListenerToken);
  }
  Result<std::span<const PollEvent>> events = poller_.wait(wait_milliseconds(start));
  if (!events) {
    if (events.error().is_interrupted()) return true;
    report("wait: " + display_text(events.error()));
    return false;
  }
  for (const PollEvent& event : *events) {
    if (event.token == kListenerToken) {
      accept_waiting();
      continue;
    }
    Peer& peer = *reinterpret_cast<Peer*>(static_cast<std::uintptr_t>(event.token));
    if (!peer.open) continue;
    if (event.failed) {
      peer.end = StreamEnd::kUnclear;
    } else if (event.ended && peer.end == StreamEnd::kOpen) {
      peer.end = StreamEnd::kClean;
    }
    after_take(peer, reader_.take(peer, peer, peer.end));
  }
  expire();
  erase_closed();
  return true;
}

// How long the next wait may last: until the next deadline, the end of a
// rest from accepting, or the next look at a stop request.
int Server::wait_milliseconds(Clock::time_point now) const {
  Clock::time_point until = now + std::chrono::milliseconds(kStopCheckMilliseconds);
  if (!idle_.empty()) {
    until = std::min(until, idle_.front()->heard + std::chrono::seconds(options_.idle_seconds));
  }
  if (!framing_.empty()) {
    until = std::min(until,
                     framing_.front()->frame_began + std::chrono::seconds(options_.frame_seconds));
  }
  if (resting_) until = std::min(until, rest_end_);
  auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  return static_cast<int>(std::max<decltype(left)>(left, 0));
}

// Takes every connection waiting, up to the limit of connections; once that
// many are taken the listener closes, so that any further peer is refused
// rather than left unheard.
void Server::accept_waiting() {
  while (listener_ != kNoSocket && accepting()) {
    Result<NativeSocket> socket = accept_connection(listener_);
    if (!socket) {
      if (socket.error().is_interrupted()) continue;
      if (socket.error().kind() == ErrorKind::WouldBlock) return;
      // Out of descriptors or memory, say: try again a moment later.
      report("accept: " + display_text(socket.error()));
      resting_ = true;
      rest_end_ = now() + kAcceptRest;
      (void)poller_.change(listener_, Watch::kFailure, kListenerToken);
      return;
    }
    Peer& peer = peers_.emplace_back();
    peer.self = std::prev(peers_.end());
    peer.socket = *socket;
    peer.number = ++accepted_;
    peer.heard = now();
    if (Status status = poller_.add(peer.socket, Watch::kInput, token_of(peer)); !status.ok()) {
      fault(peer, "cannot wait for input: " + display_text(status.error()));
      close_peer(peer);
      continue;
    }
    follow(peer);
  }
  if (!accepting()) close_listener();
}

void Server::close_listener() {
  if (listener_ == kNoSocket) return;
  poller_.forget(listener_);
  close_socket(listener_);
  listener_ = kNoSocket;
}

void Server::after_take(Peer& peer, Turn turn) {
  if (turn == Turn::kEnded) return close_peer(peer);
  if (turn == Turn::kHeard) heard(peer);
  follow(peer);
}

void Server::heard(Peer& peer) {
  peer.heard = now();
  if (peer.idle_listed) idle_.splice(idle_.end(), idle_, peer.idle_place);
}

// Fits what the connection is watched for and which deadlines it has to its
// stage: a waiting frame is neither idle nor late, and only its connection's
// end or failure is of news.
void Server::follow(Peer& peer) {
  Watch watch = Watch::kInput;
  if (peer.stage == Stage::kWaiting) {
    watch = peer.end == StreamEnd::kOpen ? Watch::kEnd : Watch::kFailure;
  }
  std::size_t low_water = peer.stage == Stage::kBetween ? peer.wanted : 1;
  peer.known_waiting = peer.held;
  Status status;
  if (watch != peer.watch) {
    status = poller_.change(peer.socket, watch, token_of(peer));
    peer.watch = watch;
  }
  if (status.ok() && low_water != peer.low_water) {
    status = poller_.expect(peer.socket, low_water);
    peer.low_water = low_water;
  }
  if (!status.ok()) {
    fault(peer, "cannot wait for input: " + display_text(status.error()));
    return close_peer(peer);
  }
  bool waiting = peer.stage == Stage::kWaiting;
  if (waiting && peer.idle_listed) {
    idle_.erase(peer.idle_place);
    peer.idle_listed = false;
  } else if (!waiting && !peer.idle_listed) {
    peer.idle_place = idle_.insert(idle_.end(), &peer);
    peer.idle_listed = true;
  }
  bool framing = peer.inside_frame() && !waiting;
  if (peer.frame_listed && (!framing || peer.frame_counted != peer.frames_done)) {
    framing_.erase(peer.frame_place);
    peer.frame_listed = false;
  }
  if (framing && !peer.frame_listed) {
    peer.frame_began = now();
    peer.frame_counted = peer.frames_done;
    peer.frame_place = framing_.insert(framing_.end(), &peer);
    peer.frame_listed = true;
  }
}

// Drops the connections past a deadline: a frame not whole in time, or
// silence for the idle limit. A short frame's bytes wait with the system
// until it is whole, so the system is asked whether any came since.
void Server::expire() {
  Clock::time_point now = this->now();
  auto frame_limit = std::chrono::seconds(options_.frame_seconds);
  while (!framing_.empty() && now - framing_.front()->frame_began >= frame_limit) {
    Peer& peer = *framing_.front();
    fault(peer, "frame not complete within " + std::to_string(options_.frame_seconds) + " s (" +
                    FrameReader::position(peer) + "), dropped");
    close_peer(peer);
  }
  auto idle_limit = std::chrono::seconds(options_.idle_seconds);
  while (!idle_.empty() && now - idle_.front()->heard >= idle_limit) {
    Peer& peer = *idle_.front();
    std::size_t waiting = bytes_waiting(peer.socket).value_or(0);
    if (waiting > peer.known_waiting) {
      peer.known_waiting = waiting;
      heard(peer);
      continue;
    }
    std::string where = FrameReader::position(peer);
    fault(peer, "idle for " + std::to_string(options_.idle_seconds) + " s" +
                    (where.empty() ? "" : " " + where) + ", dropped");
    close_peer(peer);
  }
}

void Server::close_peer(Peer& peer) {
  if (!peer.open) return;
  peer.open = false;
  if (peer.idle_listed) idle_.erase(peer.idle_place);
  if (peer.frame_listed) framing_.erase(peer.frame_place);
  peer.idle_listed = peer.frame_listed = false;
  poller_.forget(peer.socket);
  close_socket(peer.socket);
  closed_.push_back(&peer);
  reader_.drop(peer);
}

void Server::erase_closed() {
  for (Peer* peer : closed_) peers_.erase(peer->self);
  closed_.clear();
}

// After a stop request: takes the connections waiting, even during a rest
// from accepting, and what every peer had sent by then, so that the frames
// complete by then are printed; a frame left unfinished is reported. A second
// request ends it at once.
void Server::drain() {
  if (listener_ != kNoSocket) accept_waiting();
  for (Peer& peer : peers_) {
    if (peer.open) peer.read_limit = bytes_waiting(peer.socket).value_or(0);
  }
  while (!peers_.empty() && !stop_forced()) {
    for (Peer& peer : peers_) {
      if (!peer.open || peer.stage == Stage::kWaiting || stop_forced()) continue;
      if (peer.read_limit == 0) {
        reader_.report_unfinished(peer, "stopped");
        close_peer(peer);
        continue;
      }
      Turn turn = reader_.take(peer, peer, StreamEnd::kOpen);
      if (turn == Turn::kEnded) {
        close_peer(peer);
      } else if (turn == Turn::kNothing) {
        peer.read_limit = 0;  // what was counted did not come after all
      }
    }
    erase_closed();
  }
  if (stop_forced()) {
    std::string what = counted(output_.lines_dropped(), "line") + " not printed in full";
    if (!peers_.empty()) what += ", " + counted(peers_.size(), "connection") + " closed unread";
    report("stopped at once: " + what);
  }
}

}  // namespace

int serve(const Options& options, NativeSocket listener) {
  Result<Poller> poller = Poller::open();
  if (!poller) {
    (void)write_stderr("frame-sink: wait: " + display_text(poller.error()) + "\n");
    close_socket(listener);
    return 1;
  }
  auto server = std::make_unique<Server>(options, listener, std::move(*poller));
  return server->run();
}

}  // namespace fc::receiver
