// frame-sink: a receiver for the client's frames, for demos and for anyone
// building a server. Listens on 127.0.0.1:12345, serves any number of peers
// at once, and prints each frame's payload on a line of its own.
//
//   frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]
//
// A peer that is idle or slow holds up no other: every socket is
// non-blocking and one wait covers them all. A malformed frame, or a peer
// silent for longer than the idle limit, is reported on standard error and
// the connection dropped. Stops once N connections have ended, or on Ctrl-C
// after printing the frames already complete.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sink_platform.h"

namespace {

using Clock = std::chrono::steady_clock;
using fc::sink::SocketHandle;
using fc::sink::WatchedSocket;

// Frames larger than this are refused without taking in their claimed size.
constexpr std::uint32_t kMaxPayload = 16u << 20;

// The longest wait between two looks at a stop request: Ctrl-C may come just
// before a wait begins, and on Windows it never cuts a wait short.
constexpr int kStopCheckMilliseconds = 200;

// The most bytes taken from one peer in a turn, so that a fast sender holds
// up nobody else.
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

// How long accepting rests after a failure other than "none waiting".
constexpr auto kAcceptRetry = std::chrono::seconds(1);

constexpr char kUsage[] =
    "usage: frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]\n"
    "       frame-sink --help | --version\n";

constexpr char kHelp[] =
    "\n"
    "Listens on 127.0.0.1, serves any number of peers at once and prints the\n"
    "payload of each frame (a 4-byte big-endian length, then the payload) on a\n"
    "line of its own. Bytes below 0x20 and the byte 0x7F are printed as JSON\n"
    "escapes (\\n, \\t, \\u001b, ...); every other byte, a backslash too, is\n"
    "printed as it is, so compact JSON prints unchanged.\n"
    "\n"
    "  --connections N         stop once N connections have ended (default: never)\n"
    "  --port P                listen on port P (default: 12345)\n"
    "  --idle-timeout SECONDS  drop a connection silent for SECONDS, 1 to 86400\n"
    "                          (default: 10)\n"
    "  --help                  print this help and exit\n"
    "  --version               print the version and exit\n";

struct Options {
  unsigned long connections = 0;  // 0: no limit
  unsigned long port = 12345;
  unsigned long idle_seconds = 10;
};

// One connection: the bytes it sent that are not printed yet, and when it
// last sent any.
struct Peer {
  SocketHandle socket;
  unsigned long number;
  Clock::time_point heard;
  std::vector<std::uint8_t> pending;
  bool open = true;
};

struct Sink {
  Options options;
  SocketHandle listener = fc::sink::kNoSocket;
  std::vector<Peer> peers;
  unsigned long accepted = 0;
  Clock::time_point accept_resume;
  bool all_well = true;

  bool accepting() const { return options.connections == 0 || accepted < options.connections; }
};

void complain(unsigned long connection, const std::string& what) {
  (void)std::fprintf(stderr, "frame-sink: connection %lu: %s\n", connection, what.c_str());
}

// The payload as one line: bytes below 0x20 and 0x7F as JSON escapes, every
// other byte as it is.
std::string payload_line(std::span<const std::uint8_t> payload) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string line;
  line.reserve(payload.size() + 1);
  for (std::uint8_t byte : payload) {
    switch (byte) {
      case '\b': line += "\\b"; break;
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\f': line += "\\f"; break;
      case '\r': line += "\\r"; break;
      default:
        if (byte >= 0x20 && byte != 0x7f) {
          line += static_cast<char>(byte);
        } else {
          line += "\\u00";
          line += kHex[byte >> 4];
          line += kHex[byte & 0xf];
        }
    }
  }
  line += '\n';
  return line;
}

// The line on standard output, at once; false when it did not get out whole.
bool print_line(const std::string& line) {
  bool whole = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
  return std::fflush(stdout) == 0 && whole;
}

std::uint32_t length_at(const std::uint8_t* prefix) {
  return (std::uint32_t{prefix[0]} << 24) | (std::uint32_t{prefix[1]} << 16) |
         (std::uint32_t{prefix[2]} << 8) | prefix[3];
}

// Prints every whole frame at the front of the peer's bytes and keeps the
// rest; false, reported, when a frame is too long or cannot be printed.
bool print_frames(Peer& peer) {
  std::size_t used = 0;
  bool well = true;
  while (peer.pending.size() - used >= 4) {
    std::uint32_t length = length_at(peer.pending.data() + used);
    if (length > kMaxPayload) {
      complain(peer.number, "frame length " + std::to_string(length) + " exceeds the limit of " +
                                std::to_string(kMaxPayload) + " bytes");
      well = false;
      break;
    }
    if (peer.pending.size() - used - 4 < length) break;
    if (!print_line(payload_line({peer.pending.data() + used + 4, length}))) {
      complain(peer.number, "cannot write the frame to standard output");
      well = false;
      break;
    }
    used += 4 + length;
  }
  peer.pending.erase(peer.pending.begin(), peer.pending.begin() + static_cast<long>(used));
  return well;
}

// Whether the stream ended between frames; if not, says where it ended.
bool ended_between_frames(const Peer& peer) {
  std::size_t have = peer.pending.size();
  if (have == 0) return true;
  if (have < 4) {
    complain(peer.number,
             "stream ended inside a length prefix after " + std::to_string(have) + " of 4 bytes");
  } else {
    complain(peer.number, "stream ended inside a payload after " + std::to_string(have - 4) +
                              " of " + std::to_string(length_at(peer.pending.data())) + " bytes");
  }
  return false;
}

enum class Input { kTaken, kNone, kEnded };

// One receive from the peer, printing the frames it completes. kEnded when
// the connection is over, cleanly or not (all_well tells).
Input take_input(Sink& sink, Peer& peer) {
  static std::uint8_t chunk[kReadChunk];
  long n = fc::sink::receive(peer.socket, chunk, sizeof chunk);
  bool well = true;
  if (n > 0) {
    peer.heard = Clock::now();
    peer.pending.insert(peer.pending.end(), chunk, chunk + n);
    if (print_frames(peer)) return Input::kTaken;
    well = false;
  } else if (n == 0) {
    well = ended_between_frames(peer);
  } else if (fc::sink::last_call_would_block() || fc::sink::last_call_interrupted()) {
    return Input::kNone;
  } else {
    complain(peer.number, "read failed: " + fc::sink::last_error_text());
    well = false;
  }
  sink.all_well = sink.all_well && well;
  return Input::kEnded;
}

void close_peer(Peer& peer) {
  fc::sink::close_socket(peer.socket);
  peer.open = false;
}

// Takes every connection waiting, up to the limit of connections.
void accept_waiting(Sink& sink) {
  while (sink.accepting()) {
    SocketHandle socket = fc::sink::accept_connection(sink.listener);
    if (socket == fc::sink::kNoSocket) {
      if (fc::sink::last_call_interrupted()) continue;
      if (fc::sink::last_call_would_block()) return;
      // Out of descriptors or memory, say: try again a moment later.
      (void)std::fprintf(stderr, "frame-sink: accept: %s\n", fc::sink::last_error_text().c_str());
      sink.all_well = false;
      sink.accept_resume = Clock::now() + kAcceptRetry;
      return;
    }
    Peer peer{socket, ++sink.accepted, Clock::now(), {}};
    if (!fc::sink::make_non_blocking(socket)) {
      complain(peer.number, "cannot stop reads from waiting: " + fc::sink::last_error_text());
      fc::sink::close_socket(socket);
      sink.all_well = false;
      continue;
    }
    sink.peers.push_back(std::move(peer));
  }
}

// Drops every peer silent for the idle limit.
void drop_idle(Sink& sink, Clock::time_point now) {
  auto limit = std::chrono::seconds(sink.options.idle_seconds);
  for (Peer& peer : sink.peers) {
    if (!peer.open || now - peer.heard < limit) continue;
    complain(peer.number, "idle for " + std::to_string(sink.options.idle_seconds) + " s, dropped");
    close_peer(peer);
    sink.all_well = false;
  }
}

// How long the next wait may last: until the next idle limit, the end of a
// rest from accepting, or the next look at a stop request.
int wait_milliseconds(const Sink& sink, bool listening, Clock::time_point now) {
  Clock::time_point until = now + std::chrono::milliseconds(kStopCheckMilliseconds);
  for (const Peer& peer : sink.peers) {
    until = std::min(until, peer.heard + std::chrono::seconds(sink.options.idle_seconds));
  }
  if (sink.accepting() && !listening) until = std::min(until, sink.accept_resume);
  auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  return static_cast<int>(std::max<decltype(left)>(left, 0));
}

// One turn: waits for input, reads it, drops idle peers, takes new ones.
// False when the wait itself failed.
bool serve_turn(Sink& sink, std::vector<WatchedSocket>& watched) {
  Clock::time_point now = Clock::now();
  bool listening = sink.accepting() && now >= sink.accept_resume;
  watched.clear();
  if (listening) watched.push_back({sink.listener});
  for (const Peer& peer : sink.peers) watched.push_back({peer.socket});
  if (fc::sink::wait_for_input(watched, wait_milliseconds(sink, listening, now)) < 0) {
    (void)std::fprintf(stderr, "frame-sink: wait: %s\n", fc::sink::last_error_text().c_str());
    return false;
  }
  std::span<const WatchedSocket> marks = std::span(watched).subspan(listening ? 1 : 0);
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (marks[i].ready && take_input(sink, sink.peers[i]) == Input::kEnded) {
      close_peer(sink.peers[i]);
    }
  }
  drop_idle(sink, Clock::now());
  std::erase_if(sink.peers, [](const Peer& peer) { return !peer.open; });
  if (listening && watched[0].ready) accept_waiting(sink);
  return true;
}

// After a stop request: takes the connections waiting and what every peer
// has sent so far, so that the frames already complete are printed.
void drain(Sink& sink) {
  if (sink.accept_resume <= Clock::now()) accept_waiting(sink);
  // Enough turns for the largest frame; a peer that never stops sending
  // cannot keep the program from ending.
  constexpr std::size_t kTurns = (kMaxPayload + 4) / kReadChunk + 1;
  for (Peer& peer : sink.peers) {
    Input input = Input::kTaken;
    for (std::size_t turn = 0; turn < kTurns && input == Input::kTaken; ++turn) {
      input = take_input(sink, peer);
    }
  }
}

int serve(Sink& sink) {
  std::vector<WatchedSocket> watched;
  bool waits_work = true;
  while (waits_work && !fc::sink::stop_requested() && (sink.accepting() || !sink.peers.empty())) {
    waits_work = serve_turn(sink, watched);
  }
  if (fc::sink::stop_requested()) drain(sink);
  for (Peer& peer : sink.peers) fc::sink::close_socket(peer.socket);
  fc::sink::close_socket(sink.listener);
  return waits_work && sink.all_well ? 0 : 1;
}

bool parse_count(const char* text, unsigned long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtoul(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

int usage() {
  (void)std::fputs(kUsage, stderr);
  return 2;
}

// Reads the options into `options`; an exit status when the program should
// end at once (help, version, a bad option), else -1.
int parse_options(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool has_value = i + 1 < argc;
    if (arg == "--help") {
      return std::printf("%s%s", kUsage, kHelp) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
    } else if (arg == "--version") {
      return std::printf("frame-sink %s\n", FC_VERSION) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
    } else if (arg == "--connections" && has_value) {
      if (!parse_count(argv[++i], &options->connections) || options->connections == 0) {
        return usage();
      }
    } else if (arg == "--port" && has_value) {
      if (!parse_count(argv[++i], &options->port) || options->port == 0 || options->port > 65535) {
        return usage();
      }
    } else if (arg == "--idle-timeout" && has_value) {
      if (!parse_count(argv[++i], &options->idle_seconds) || options->idle_seconds == 0 ||
          options->idle_seconds > 86400) {
        return usage();
      }
    } else {
      return usage();
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  fc::sink::prepare_process();  // first: the help, too, goes out unchanged
  Sink sink;
  if (int status = parse_options(argc, argv, &sink.options); status >= 0) return status;
  std::string why;
  sink.listener = fc::sink::listen_loopback(static_cast<std::uint16_t>(sink.options.port),
                                            fc::sink::largest_backlog(), &why);
  if (sink.listener != fc::sink::kNoSocket && !fc::sink::make_non_blocking(sink.listener)) {
    why = fc::sink::last_error_text();
    fc::sink::close_socket(sink.listener);
    sink.listener = fc::sink::kNoSocket;
  }
  if (sink.listener == fc::sink::kNoSocket) {
    (void)std::fprintf(stderr, "frame-sink: cannot listen on 127.0.0.1:%lu: %s\n",
                       sink.options.port, why.c_str());
    return 1;
  }
  (void)std::fprintf(stderr, "frame-sink: listening on 127.0.0.1:%lu\n", sink.options.port);
  return serve(sink);
}
