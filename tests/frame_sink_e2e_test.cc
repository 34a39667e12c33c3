// frame-sink, the bundled receiver, fed by the product's own stream.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "json/frame_prefix.h"
#include "net/poller_testing.h"
#include "net/serving_ops.h"
#include "net/socket_ops.h"
#include "net/tcp_client_stream.h"
#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

using namespace std::string_literals;

std::string prefix(std::size_t length) {
  FramePrefix bytes = length_prefix_for_size(length).value();
  return std::string(bytes.begin(), bytes.end());
}

std::string frame(const std::string& payload) { return prefix(payload.size()) + payload; }

std::uint16_t free_port() {
  std::string why;
  auto probe = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
  return probe ? probe->port() : 0;
}

// A connection to frame-sink on `port`, tried until it listens (bounded).
std::optional<TcpClientStream> connect_to_sink(std::uint16_t port) {
  std::string endpoint = "127.0.0.1:" + std::to_string(port);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    auto stream = connect_endpoint(endpoint);
    if (stream) return std::move(*stream);
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "frame-sink never listened on " << endpoint;
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Whether the file comes to hold `text` within ten seconds.
bool comes_to_hold(const std::string& path, const std::string& text) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (read_file(path) != text) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// What the peer received until its connection ended (bounded).
std::string received_by(const TcpClientStream& peer) {
  std::string bytes;
  std::uint8_t buffer[256];
  while (readable_within(peer.native(), 10000)) {
    Result<std::size_t> n = receive_some(peer.native(), buffer);
    if (!n || *n == 0) break;
    bytes.append(reinterpret_cast<const char*>(buffer), *n);
  }
  return bytes;
}

struct Feed {
  std::string bytes;
  StreamSetup out = StreamSetup::kCapture;
  std::vector<std::string> args = {};
  // A first connection, made before the one that sends `bytes`: it sends
  // `first_bytes` at once and then nothing; it must receive nothing, and it
  // ends when the sink drops it as idle.
  bool idle_peer = false;
  std::string first_bytes = {};
  // `bytes` go in pieces, split at these places (a piece may be empty),
  // `pause_ms` apart; the first connection sends `first_tail` in the first
  // pause.
  std::vector<std::size_t> splits = {};
  int pause_ms = 100;
  std::string first_tail = {};
  // The connection sending `bytes` closes before the first tail goes.
  bool ends_before_tail = false;
  // Standard output goes to a file, which must come to hold this while every
  // connection is still open.
  std::string printed_while_open = {};
  // Then a further connection must be refused.
  bool then_refused = false;
  StreamSetup in = StreamSetup::kCapture;
  long file_size_limit = -1;  // standard output goes to a file this large at most
  int out_pause_ms = 0;
  bool out_non_blocking = false;
  bool stop_after_sending = false;  // while the connection is still open
  // System calls of the sink's made to fail (ChildOptions::inject); with
  // `no_peer`, nobody connects.
  std::string inject = {};
  bool no_peer = false;
};

// Starts frame-sink, sends the bytes on a connection, and returns how
// frame-sink ended.
ChildResult feed_sink(const Feed& feed) {
  std::uint16_t port = free_port();
  bool watched = !feed.printed_while_open.empty();
  bool idle_peer = feed.idle_peer || !feed.first_bytes.empty();
  std::atomic<bool> stop{false};
  ChildOptions options;
  options.in = feed.in;
  options.out = watched || feed.file_size_limit >= 0 ? StreamSetup::kFile : feed.out;
  // A name of its own, so that suites run side by side keep apart.
  options.out_file =
      ::testing::TempDir() + "frame_sink_stdout_" + std::to_string(std::random_device{}()) + ".txt";
  options.file_size_limit = feed.file_size_limit;
  options.out_pause_ms = feed.out_pause_ms;
  options.out_non_blocking = feed.out_non_blocking;
  options.inject = feed.inject;
  if (!feed.inject.empty()) options.timeout_seconds = 10;
  options.interrupt_when = feed.stop_after_sending ? &stop : nullptr;
  options.args = {"--connections", idle_peer ? "2" : "1", "--port", std::to_string(port)};
  options.args.insert(options.args.end(), feed.args.begin(), feed.args.end());
  auto sink = std::async(std::launch::async, [&] { return run_child(FC_SINK_PATH, options); });
  std::optional<TcpClientStream> idle = idle_peer ? connect_to_sink(port) : std::nullopt;
  if (idle && !feed.first_bytes.empty()) {
    EXPECT_TRUE(send_all(*idle, feed.first_bytes).ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // taken in first
  }
  std::optional<TcpClientStream> stream = feed.no_peer ? std::nullopt : connect_to_sink(port);
  if (stream) {
    std::string_view bytes = feed.bytes;
    std::size_t sent = 0;
    for (std::size_t split : feed.splits) {
      if (!stream) break;
      EXPECT_TRUE(send_all(*stream, bytes.substr(sent, split - sent)).ok());
      sent = split;
      std::this_thread::sleep_for(std::chrono::milliseconds(feed.pause_ms / 2));
      if (feed.ends_before_tail) stream.reset();
      if (idle && split == feed.splits.front()) {
        EXPECT_TRUE(send_all(*idle, feed.first_tail).ok());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(feed.pause_ms / 2));
    }
    if (stream) {
      EXPECT_TRUE(send_all(*stream, bytes.substr(sent)).ok());
    }
  }
  if (watched) {
    EXPECT_TRUE(comes_to_hold(options.out_file, feed.printed_while_open));
    if (idle) {
      EXPECT_FALSE(readable_within(idle->native(), 0)) << "the idle peer was dropped first";
    }
  }
  if (feed.then_refused) {
    Result<TcpClientStream> further = connect_endpoint("127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(!further && further.error().kind() == ErrorKind::ConnectionRefused)
        << "a connection past the last was taken";
  }
  stop = true;
  if (!feed.stop_after_sending) stream.reset();
  ChildResult result = sink.get();
  if (idle) {
    EXPECT_EQ(received_by(*idle), "") << "a peer received the sink's own text";
  }
  if (options.out == StreamSetup::kFile) result.out = read_file(options.out_file);
  (void)std::remove(options.out_file.c_str());
  return result;
}

TEST(FrameSink, ReportsEachFrameOrTheFault) {
  struct Case {
    const char* name;
    Feed feed;
    int exit_code;
    std::string out;
    std::string err_part;
  };
  const Case cases[] = {
      {"two frames",
       {frame(R"({"id":"3","message":"split"})") + frame("second")},
       0,
       "{\"id\":\"3\",\"message\":\"split\"}\nsecond\n",
       ""},
      {"empty payload", {frame("")}, 0, "\n", ""},
      {"no frame at all", {""}, 0, "", ""},
      {"short prefix", {std::string("\0\0", 2)}, 1, "", "inside a length prefix after 2 of 4"},
      {"short payload",
       {frame("abcdef").substr(0, 7)},
       1,
       "",
       "inside a payload after 3 of 6 bytes"},
      {"length over the bound",
       {std::string("\xff\xff\xff\xff", 4)},
       1,
       "",
       "frame length 4294967295 exceeds the limit"},
      {"a whole frame before a refused length",
       {frame("hello") + "\x01\x00\x00\x01"s},
       1,
       "hello\n",
       "connection 1: frame length 16777217 exceeds the limit of 16777216 bytes"},
      {"a length just over a budget of 1 MiB",
       {.bytes = prefix(1048577), .args = {"--memory", "1"}},
       1,
       "",
       "connection 1: frame length 1048577 exceeds the limit of 1048576 bytes"},
      {"the longest short frame, in two pieces, beside a holder of all the room",
       {.bytes = frame(std::string(65536, 'w')),
        .args = {"--memory", "1", "--idle-timeout", "3"},
        .first_bytes = prefix(1048576),
        .splits = {4},
        .printed_while_open = std::string(65536, 'w') + "\n"},
       1,
       std::string(65536, 'w') + "\n",
       "connection 1: idle for 3 s inside a payload after 0 of 1048576 bytes, dropped"},
      {"the shortest long frame waits for room, and gets it",
       {.bytes = frame(std::string(65537, 'y')),
        .args = {"--memory", "1", "--idle-timeout", "2"},
        .first_bytes = frame(std::string(1000000, 'h')).substr(0, 1000003),
        .splits = {65541},
        .first_tail = "h",
        .printed_while_open = std::string(1000000, 'h') + "\n" + std::string(65537, 'y') + "\n"},
       1,
       std::string(1000000, 'h') + "\n" + std::string(65537, 'y') + "\n",
       "connection 1: idle for 2 s, dropped"},
      {"a frame that holds room past the frame limit",
       {.bytes = "",
        .args = {"--frame-timeout", "1", "--idle-timeout", "5"},
        .first_bytes = frame(std::string(100000, 'f')).substr(0, 14)},
       1,
       "",
       "connection 1: frame not complete within 1 s (inside a payload after 10 of 100000"},
      {"a whole frame that waits for room is printed though its peer has gone",
       {.bytes = frame(std::string(65537, 'y')),
        .args = {"--memory", "1", "--idle-timeout", "2"},
        .first_bytes = frame(std::string(1000000, 'h')).substr(0, 1000003),
        .splits = {65541},
        .first_tail = "h",
        .ends_before_tail = true},
       1,
       std::string(1000000, 'h') + "\n" + std::string(65537, 'y') + "\n",
       "connection 1: idle for 2 s, dropped"},
      {"each frame has the frame limit from its own first byte",
       {.bytes = frame("AAAAAAAA") + frame("BBBBBBBB"),
        .args = {"--frame-timeout", "1"},
        .splits = {6, 18},
        .pause_ms = 700},
       0,
       "AAAAAAAA\nBBBBBBBB\n",
       ""},
      {"a discard that takes nothing after a look",
       {.bytes = "", .first_bytes = frame("looked at"), .inject = "recvfrom:retval=0:when=2"},
       1,
       "looked at\n",
       "connection 1: read failed: unexpected end of file"},
      {"no connection past the last one",
       {.bytes = frame("only"), .printed_while_open = "only\n", .then_refused = true},
       0,
       "only\n",
       ""},
      {"a wait cut short by a signal goes on",
       {.bytes = frame("after a signal"), .inject = "epoll_wait,epoll_pwait:error=EINTR:when=1"},
       0,
       "after a signal\n",
       ""},
      {"a peer whose frame waits for room is seen at once when it goes",
       {.bytes = prefix(100000),
        .args = {"--memory", "1", "--idle-timeout", "3"},
        .first_bytes = prefix(1048576)},
       1,
       "",
       "2: stream ended inside a payload after 0 of 100000 bytes\nframe-sink: connection 1: idle"},
      {"a wait that fails ends the run",
       {.bytes = "", .inject = "epoll_wait,epoll_pwait:error=EINVAL", .no_peer = true},
       1,
       "",
       "frame-sink: wait: Invalid argument (os error 22)"},
      {"accepting rests after a failure, then goes on",
       {.bytes = frame("rested"), .inject = "accept4:error=EMFILE:when=1"},
       1,
       "rested\n",
       "frame-sink: accept: Too many open files (os error 24)"},
      {"a read that fails after a look",
       {.bytes = "",
        .first_bytes = frame("looked at"),
        .inject = "recvfrom:error=ECONNRESET:when=2"},
       1,
       "looked at\n",
       "connection 1: read failed: Connection reset by peer (os error 104)"},
      {"output refused: told once, and the connection read no further",
       {frame(std::string(70000, 'x')) + frame("lost"), StreamSetup::kBrokenPipe},
       1,
       "",
       "cannot write the frame to standard output"},
      {"control bytes escaped, the rest as sent",
       {frame("\0\b\t\n\f\r\x1b[1m\x7f \\\"\xc3\xa9"s)},
       0,
       "\\u0000\\b\\t\\n\\f\\r\\u001b[1m\\u007f \\\"\xc3\xa9\n",
       ""},
      {"a second peer while the first is idle",
       {.bytes = frame("second"),
        .args = {"--idle-timeout", "3"},
        .idle_peer = true,
        .printed_while_open = "second\n"},
       1,
       "second\n",
       "connection 1: idle for 3 s, dropped"},
      {"no input or output stream: nothing goes to a peer",
       {.bytes = frame("SECRET"),
        .out = StreamSetup::kClosed,
        .args = {"--idle-timeout", "3"},
        .idle_peer = true,
        .in = StreamSetup::kClosed},
       1,
       "",
       "connection 1: idle for 3 s, dropped"},
      {"output stalled past the idle limit: nobody dropped",
       {.bytes = frame(std::string(70000, 'x')) + frame("after"),
        .args = {"--idle-timeout", "1"},
        .out_pause_ms = 3000},
       0,
       std::string(70000, 'x') + "\nafter\n",
       ""},
      {"a full output that refuses writes is waited for, not polled",
       {.bytes = frame(std::string(70000, 'x')) + frame("after"),
        .out_pause_ms = 2000,
        .out_non_blocking = true},
       0,
       std::string(70000, 'x') + "\nafter\n",
       ""},
      {"output at its size limit: reported, no signal",
       {.bytes = frame(std::string(200, 'x')), .file_size_limit = 100},
       1,
       std::string(100, 'x'),
       "connection 1: cannot write the frame to standard output: File too large"},
      {"stopped inside a frame: reported",
       {.bytes = frame("abcdef").substr(0, 7), .stop_after_sending = true},
       1,
       "",
       "connection 1: stopped inside a payload after 3 of 6 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (((c.feed.file_size_limit >= 0 || c.feed.stop_after_sending) &&
         !runner_limits_and_interrupts()) ||
        (!c.feed.inject.empty() && !runner_injects_failures())) {
      std::printf("row skipped, the runner cannot do it here: %s\n", c.name);
      continue;
    }
    ChildResult result = feed_sink(c.feed);
    ASSERT_TRUE(result.exited) << "signal " << result.term_signal;
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, c.out);
    std::size_t told = result.err.find(c.err_part);
    EXPECT_NE(told, std::string::npos) << result.err;
    if (!c.err_part.empty() && told != std::string::npos) {
      EXPECT_EQ(result.err.find(c.err_part, told + 1), std::string::npos) << "told twice";
    }
    if (c.feed.out_pause_ms > 0) {
      EXPECT_LT(result.cpu_seconds, c.feed.out_pause_ms / 2000.0) << "it spun while output stalled";
    }
  }
}

TEST(FrameSink, AnswersHelpVersionAndBadOptions) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out_start;
    std::string fault;  // told on standard error before the usage
  };
  const std::string usage =
      "usage: frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]\n"
      "                  [--frame-timeout SECONDS] [--memory MIB]\n"
      "       frame-sink --help | --version\n";
  const std::string version = "frame-sink " FC_VERSION "\n";
  std::vector<Case> cases = {
      {{"--help"}, 0, usage + "\nListens on", ""},
      {{"--version"}, 0, version, ""},
      {{"--port"}, 2, "", "--port: needs a value"},
      {{"-h"}, 2, "", "-h: unknown option"},
      {{"--connections", " 5"}, 2, "", "--connections:  5 is not a number of connections"},
      {{"--connections", "+3"}, 2, "", "--connections: +3 is not a number of connections"},
  };
  // Each number at both ends of its range, and just past them.
  struct Range {
    std::string option;
    std::string noun;
    std::uint64_t low;
    std::uint64_t high;
  };
  const Range ranges[] = {{"--connections", "a number of connections", 1, 4294967295},
                          {"--port", "a port", 1, 65535},
                          {"--idle-timeout", "a number of seconds", 1, 86400},
                          {"--frame-timeout", "a number of seconds", 1, 86400},
                          {"--memory", "a number of MiB", 1, 1024}};
  for (const Range& r : ranges) {
    for (std::uint64_t bad : {r.low - 1, r.high + 1}) {
      std::string value = std::to_string(bad);
      std::string fault = r.option;
      fault.append(": ").append(value).append(" is not ").append(r.noun);
      fault.append(" (" + std::to_string(r.low) + " to " + std::to_string(r.high) + ")");
      cases.push_back({{r.option, value}, 2, "", fault});
    }
    for (std::uint64_t good : {r.low, r.high}) {
      cases.push_back({{r.option, std::to_string(good), "--version"}, 0, version, ""});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    ChildOptions options;
    options.args = c.args;
    ChildResult result = run_child(FC_SINK_PATH, options);
    expect_exit(result, c.exit_code);
    EXPECT_TRUE(result.out.starts_with(c.out_start)) << result.out;
    EXPECT_EQ(result.out.empty(), c.out_start.empty());
    if (c.fault.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_TRUE(result.err.starts_with("frame-sink: " + c.fault)) << result.err;
      EXPECT_TRUE(result.err.ends_with("\n" + usage)) << result.err;
    }
  }
  // A port that another socket holds: told why, status 1, without the usage.
  std::string why;
  auto holder = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
  ASSERT_TRUE(holder) << why;
  std::string port = std::to_string(holder->port());
  ChildOptions options;
  options.args = {"--port", port};
  ChildResult result = run_child(FC_SINK_PATH, options);
  expect_exit(result, 1);
  EXPECT_TRUE(result.err.starts_with("frame-sink: cannot listen on 127.0.0.1:" + port + ": "))
      << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

}  // namespace
}  // namespace fc::testing
