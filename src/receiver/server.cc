// The serving loop. One wait covers the listener and every peer, so that a
// peer that is idle or slow holds up no other.
//
// The memory that frames take is bounded by a budget for all of them
// together. A frame's whole length is reserved once its prefix is in, so that
// every frame taken in can complete; a peer whose frame does not fit waits,
// unread, in the order it came (TCP holds its sender back), and is not idle
// meanwhile. Frames that arrive whole within one read are printed straight
// from the read buffer and need no room; while some frame might have to
// wait, such reads are peeks first, so that nothing past a frame that must
// wait is taken in.
//
// Time spent writing standard output does not count as any peer's silence:
// idle limits run on a clock that stops while output is written.

#include "receiver/server.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/std_streams.h"
#include "json/frame_prefix.h"
#include "net/socket_ops.h"
#include "receiver/line_output.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

using Clock = std::chrono::steady_clock;

// Frames larger than this are refused without taking in their claimed size.
constexpr std::uint32_t kMaxPayload = 16u << 20;

// The longest wait between two looks at a stop request: a stop may be asked
// for just before a wait begins, and on Windows it never cuts a wait short.
constexpr int kStopCheckMilliseconds = 200;

// The most bytes looked at in one read, so that a fast sender holds up
// nobody else.
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

// How long accepting rests after a failure other than "none waiting".
constexpr auto kAcceptRetry = std::chrono::seconds(1);

constexpr std::size_t kPrefixSize = 4;

enum class Stage {
  kPrefix,   // between frames, or inside a prefix
  kWaiting,  // the prefix is in; the frame waits for room in the budget
  kPayload,  // the frame has its room and its buffer, and is being read
};

struct Peer {
  NativeSocket socket = kNoSocket;
  std::uint64_t number = 0;
  Clock::time_point heard;  // on the serving clock
  Stage stage = Stage::kPrefix;
  std::uint8_t prefix[kPrefixSize] = {};
  std::size_t prefix_have = 0;
  std::uint32_t length = 0;  // of the frame being taken in
  std::unique_ptr<std::uint8_t[]> payload;
  std::size_t payload_have = 0;
  std::uint64_t ticket = 0;  // the order of waiting
  // How many more bytes may be read: no bound until a stop, then what had
  // arrived by the stop.
  std::size_t read_limit = SIZE_MAX;
  bool open = true;
};

struct Server {
  Server(const Options& options_in, NativeSocket listener_in)
      : options(options_in),
        listener(listener_in),
        room(std::size_t{options_in.memory_mib} << 20),
        frame_limit(static_cast<std::uint32_t>(std::min<std::size_t>(kMaxPayload, room))) {}

  bool accepting() const { return options.connections == 0 || accepted < options.connections; }
  // The serving clock: real time less the time spent writing output.
  Clock::time_point now() const { return Clock::now() - output.time_writing(); }
  std::chrono::seconds idle_limit() const { return std::chrono::seconds(options.idle_seconds); }

  Options options;
  NativeSocket listener;
  std::vector<Peer> peers;
  std::uint64_t accepted = 0;
  Clock::time_point accept_resume;
  bool all_well = true;
  LineOutput output{stdout_device()};
  std::size_t room;  // what is left of the budget
  std::uint32_t frame_limit;
  std::size_t waiting = 0;
  std::uint64_t tickets = 0;
  std::uint8_t chunk[kReadChunk];
};

enum class Input { kTaken, kNone, kEnded };

void report(Server& server, std::string_view line) {
  (void)write_stderr("frame-sink: " + std::string(line) + "\n");
  server.all_well = false;
}

void complain(Server& server, const Peer& peer, std::string_view what) {
  report(server, "connection " + std::to_string(peer.number) + ": " + std::string(what));
}

bool output_done(Server& server, const Peer& peer, const Status& status) {
  if (!status.ok()) {
    complain(server, peer,
             "cannot write the frame to standard output: " + display_text(status.error()));
  }
  return status.ok();
}

bool print(Server& server, const Peer& peer, std::span<const std::uint8_t> payload) {
  return output_done(server, peer, server.output.add_line(payload));
}

bool flush_output(Server& server, const Peer& peer) {
  return output_done(server, peer, server.output.flush());
}

// Reports where the peer's stream stopped, `how` ("stream ended",
// "stopped"), unless it stopped between frames.
void report_unfinished(Server& server, const Peer& peer, std::string_view how) {
  if (peer.stage == Stage::kPrefix) {
    if (peer.prefix_have == 0) return;
    complain(server, peer,
             std::string(how) + " inside a length prefix after " +
                 std::to_string(peer.prefix_have) + " of 4 bytes");
  } else {
    complain(server, peer,
             std::string(how) + " inside a payload after " + std::to_string(peer.payload_have) +
                 " of " + std::to_string(peer.length) + " bytes");
  }
}

// Gives the peer's frame its room, which the caller found free, and its
// buffer; false, reported, when memory for the buffer cannot be had.
bool give_room(Server& server, Peer& peer) {
  server.room -= peer.length;
  peer.stage = Stage::kPayload;
  peer.payload_have = 0;
  // Not zeroed: pages are only taken as the frame's bytes arrive.
  peer.payload.reset(new (std::nothrow) std::uint8_t[peer.length]);
  if (peer.payload) return true;
  complain(server, peer, "no memory for a frame of " + std::to_string(peer.length) + " bytes");
  return false;
}

void release_payload(Server& server, Peer& peer) {
  server.room += peer.length;
  peer.payload.reset();
  peer.payload_have = 0;
  peer.stage = Stage::kPrefix;
}

void close_peer(Server& server, Peer& peer) {
  if (peer.stage == Stage::kPayload) release_payload(server, peer);
  if (peer.stage == Stage::kWaiting) --server.waiting;
  peer.stage = Stage::kPrefix;
  close_socket(peer.socket);
  peer.open = false;
}

// Gives waiting peers their room, first come first served, while it lasts.
void grant_waiting(Server& server) {
  while (server.waiting > 0) {
    Peer* first = nullptr;
    for (Peer& peer : server.peers) {
      if (peer.open && peer.stage == Stage::kWaiting && (!first || peer.ticket < first->ticket)) {
        first = &peer;
      }
    }
    if (first == nullptr || first->length > server.room) return;
    --server.waiting;
    first->heard = server.now();
    if (!give_room(server, *first)) close_peer(server, *first);
  }
}

// The prefix of a frame of `length` bytes is in: the frame gets its room or
// waits for it. False, reported, when the frame is refused.
bool begin_frame(Server& server, Peer& peer, std::uint32_t length) {
  peer.length = length;
  peer.payload_have = 0;
  if (length > server.frame_limit) {
    complain(server, peer,
             "frame length " + std::to_string(length) + " exceeds the limit of " +
                 std::to_string(server.frame_limit) + " bytes");
    return false;
  }
  if (server.waiting == 0 && length <= server.room) return give_room(server, peer);
  peer.stage = Stage::kWaiting;
  peer.ticket = ++server.tickets;
  ++server.waiting;
  return true;
}

Result<std::size_t> read_from(Peer& peer, std::uint8_t* data, std::size_t size, bool just_peek) {
  std::span<std::uint8_t> buffer(data, std::min(size, peer.read_limit));
  Result<std::size_t> n =
      just_peek ? peek_some(peer.socket, buffer) : receive_some(peer.socket, buffer);
  if (n && !just_peek) peer.read_limit -= *n;
  return n;
}

bool retry_later(const IoError& error) {
  return error.is_interrupted() || error.kind() == ErrorKind::WouldBlock;
}

// What a read that brought no byte means: nothing yet, or the end of the
// connection (reported unless it ended between frames).
Input no_bytes(Server& server, Peer& peer, const Result<std::size_t>& n) {
  if (n) {
    report_unfinished(server, peer, "stream ended");
  } else if (retry_later(n.error())) {
    return Input::kNone;
  } else {
    complain(server, peer, "read failed: " + display_text(n.error()));
  }
  return Input::kEnded;
}

// Takes `count` bytes that were peeked at, which are there to take.
bool consume(Server& server, Peer& peer, std::size_t count) {
  while (count > 0) {
    Result<std::size_t> n = read_from(peer, server.chunk, count, false);
    if (!n && n.error().is_interrupted()) continue;
    if (!n) {
      complain(server, peer, "read failed: " + display_text(n.error()));
      return false;
    }
    if (*n == 0) {
      complain(server, peer, "read failed: the stream ended before what it held was read");
      return false;
    }
    count -= *n;
  }
  return true;
}

// Between frames: prints every frame that is whole in what has arrived and
// takes in the start of the next, up to its prefix when it must wait.
Input take_frames(Server& server, Peer& peer) {
  // While any frame would find room, whatever arrived can be taken at once.
  bool peek_first = server.waiting > 0 || server.room < server.frame_limit;
  Result<std::size_t> n = read_from(peer, server.chunk, kReadChunk, peek_first);
  if (!n || *n == 0) return no_bytes(server, peer, n);
  peer.heard = server.now();
  std::span<const std::uint8_t> bytes(server.chunk, *n);
  std::size_t used = 0;
  while (bytes.size() - used >= kPrefixSize) {
    std::uint32_t length = payload_length(bytes.subspan(used).first<kPrefixSize>());
    std::span<const std::uint8_t> rest = bytes.subspan(used + kPrefixSize);
    if (rest.size() < length) {  // so is every frame over the limit, which no read holds
      used += kPrefixSize;
      if (!begin_frame(server, peer, length)) return Input::kEnded;
      if (peer.stage == Stage::kPayload) {
        std::memcpy(peer.payload.get(), rest.data(), rest.size());
        peer.payload_have = rest.size();
        used = bytes.size();
      }
      break;
    }
    if (!print(server, peer, rest.first(length))) return Input::kEnded;
    used += kPrefixSize + length;
  }
  if (peer.stage == Stage::kPrefix) {  // what is left is a prefix cut short
    peer.prefix_have = bytes.size() - used;
    std::memcpy(peer.prefix, bytes.data() + used, peer.prefix_have);
    used = bytes.size();
  }
  if (peek_first && !consume(server, peer, used)) return Input::kEnded;
  return flush_output(server, peer) ? Input::kTaken : Input::kEnded;
}

// The rest of a prefix that arrived cut short.
Input take_prefix_rest(Server& server, Peer& peer) {
  Result<std::size_t> n =
      read_from(peer, peer.prefix + peer.prefix_have, kPrefixSize - peer.prefix_have, false);
  if (!n || *n == 0) return no_bytes(server, peer, n);
  peer.heard = server.now();
  peer.prefix_have += *n;
  if (peer.prefix_have < kPrefixSize) return Input::kTaken;
  peer.prefix_have = 0;
  std::uint32_t length = payload_length(std::span(peer.prefix));
  if (length == 0)
    return print(server, peer, {}) && flush_output(server, peer) ? Input::kTaken : Input::kEnded;
  return begin_frame(server, peer, length) ? Input::kTaken : Input::kEnded;
}

// More of a payload that has its room; printed, and its room given back,
// once whole.
Input take_payload(Server& server, Peer& peer) {
  Result<std::size_t> n = read_from(peer, peer.payload.get() + peer.payload_have,
                                    peer.length - peer.payload_have, false);
  if (!n || *n == 0) return no_bytes(server, peer, n);
  peer.heard = server.now();
  peer.payload_have += *n;
  if (peer.payload_have < peer.length) return Input::kTaken;
  bool printed =
      print(server, peer, {peer.payload.get(), peer.length}) && flush_output(server, peer);
  release_payload(server, peer);
  grant_waiting(server);
  return printed ? Input::kTaken : Input::kEnded;
}

// One read from the peer, printing the frames it completes. kEnded when the
// connection is over, cleanly or not (all_well tells).
Input take_input(Server& server, Peer& peer) {
  switch (peer.stage) {
    case Stage::kPrefix:
      return peer.prefix_have == 0 ? take_frames(server, peer) : take_prefix_rest(server, peer);
    case Stage::kPayload: return take_payload(server, peer);
    case Stage::kWaiting: break;
  }
  return Input::kNone;
}

// Takes every connection waiting, up to the limit of connections.
void accept_waiting(Server& server) {
  while (server.accepting()) {
    Result<NativeSocket> socket = accept_connection(server.listener);
    if (!socket) {
      if (socket.error().is_interrupted()) continue;
      if (socket.error().kind() == ErrorKind::WouldBlock) return;
      // Out of descriptors or memory, say: try again a moment later.
      report(server, "accept: " + display_text(socket.error()));
      server.accept_resume = server.now() + kAcceptRetry;
      return;
    }
    Peer peer;
    peer.socket = *socket;
    peer.number = ++server.accepted;
    peer.heard = server.now();
    if (Status status = set_non_blocking(*socket); !status.ok()) {
      complain(server, peer, "cannot stop reads from waiting: " + display_text(status.error()));
      close_socket(*socket);
      continue;
    }
    server.peers.push_back(std::move(peer));
  }
}

// How long the next wait may last: until the next idle limit, the end of a
// rest from accepting, or the next look at a stop request.
int wait_milliseconds(const Server& server, bool listening, Clock::time_point now) {
  Clock::time_point until = now + std::chrono::milliseconds(kStopCheckMilliseconds);
  for (const Peer& peer : server.peers) {
    if (peer.stage != Stage::kWaiting) until = std::min(until, peer.heard + server.idle_limit());
  }
  if (server.accepting() && !listening) until = std::min(until, server.accept_resume);
  auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  return static_cast<int>(std::max<decltype(left)>(left, 0));
}

// The sockets of one wait, and which peer each one after the listener is.
struct Watch {
  std::vector<WatchedSocket> sockets;
  std::vector<std::size_t> peers;
};

// One turn: waits for input from every peer not waiting for room, reads it,
// drops those silent for the idle limit, takes new ones. False when the wait
// itself failed.
bool serve_turn(Server& server, Watch& watch) {
  Clock::time_point now = server.now();
  bool listening = server.accepting() && now >= server.accept_resume;
  watch.sockets.clear();
  watch.peers.clear();
  if (listening) watch.sockets.push_back({server.listener});
  for (std::size_t i = 0; i < server.peers.size(); ++i) {
    if (server.peers[i].stage == Stage::kWaiting) continue;
    watch.sockets.push_back({server.peers[i].socket});
    watch.peers.push_back(i);
  }
  Result<std::size_t> ready =
      wait_for_input(watch.sockets, wait_milliseconds(server, listening, now));
  // A signal that cut the wait short leaves every socket unmarked.
  if (!ready && !ready.error().is_interrupted()) {
    report(server, "wait: " + display_text(ready.error()));
    return false;
  }
  now = server.now();  // a peer not ready by now was silent up to now
  std::span<const WatchedSocket> marks = std::span(watch.sockets).subspan(listening ? 1 : 0);
  for (std::size_t k = 0; k < marks.size(); ++k) {
    Peer& peer = server.peers[watch.peers[k]];
    if (!peer.open) continue;
    if (marks[k].ready) {
      if (take_input(server, peer) == Input::kEnded) close_peer(server, peer);
    } else if (now - peer.heard >= server.idle_limit()) {
      complain(server, peer,
               "idle for " + std::to_string(server.options.idle_seconds) + " s, dropped");
      close_peer(server, peer);
    }
  }
  std::erase_if(server.peers, [](const Peer& peer) { return !peer.open; });
  grant_waiting(server);
  if (listening && watch.sockets[0].ready) accept_waiting(server);
  return true;
}

// After a stop request: takes the connections waiting and what every peer
// had sent by then, so that the frames complete by then are printed; a frame
// left unfinished is reported.
void drain(Server& server) {
  if (server.accepting() && server.accept_resume <= server.now()) accept_waiting(server);
  for (Peer& peer : server.peers) peer.read_limit = bytes_waiting(peer.socket).value_or(0);
  while (!server.peers.empty()) {
    for (Peer& peer : server.peers) {
      if (!peer.open || peer.stage == Stage::kWaiting) continue;
      if (peer.read_limit == 0) {
        report_unfinished(server, peer, "stopped");
        close_peer(server, peer);
      } else if (Input input = take_input(server, peer); input == Input::kEnded) {
        close_peer(server, peer);
      } else if (input == Input::kNone) {
        peer.read_limit = 0;  // what was counted did not come after all
      }
    }
    std::erase_if(server.peers, [](const Peer& peer) { return !peer.open; });
    grant_waiting(server);
  }
}

}  // namespace

int serve(const Options& options, NativeSocket listener) {
  auto server = std::make_unique<Server>(options, listener);
  Watch watch;
  bool waits_work = true;
  while (waits_work && !stop_requested() && (server->accepting() || !server->peers.empty())) {
    waits_work = serve_turn(*server, watch);
  }
  if (stop_requested()) drain(*server);
  for (Peer& peer : server->peers) close_peer(*server, peer);
  close_socket(listener);
  return server->all_well ? 0 : 1;
}

}  // namespace fc::receiver
