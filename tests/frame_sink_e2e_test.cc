// frame-sink, the bundled receiver, fed by the product's own stream.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/tcp_client_stream.h"
#include "sink_platform.h"
#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

using namespace std::string_literals;

std::string frame(const std::string& payload) {
  auto n = static_cast<std::uint32_t>(payload.size());
  std::string prefix = {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                        static_cast<char>(n >> 8), static_cast<char>(n)};
  return prefix + payload;
}

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

struct Feed {
  std::string bytes;
  StreamSetup out = StreamSetup::kCapture;
  std::vector<std::string> args = {};
  // A first connection that sends nothing: the frames sent on the second
  // must be printed while it is still open.
  std::string printed_beside_idle_peer = {};
};

// Starts frame-sink, sends the bytes on a connection, and returns how
// frame-sink ended.
ChildResult feed_sink(const Feed& feed) {
  std::uint16_t port = free_port();
  bool idle_peer = !feed.printed_beside_idle_peer.empty();
  ChildOptions options;
  options.out = idle_peer ? StreamSetup::kFile : feed.out;  // watched while it runs
  options.out_file = ::testing::TempDir() + "frame_sink_stdout.txt";
  options.args = {"--connections", idle_peer ? "2" : "1", "--port", std::to_string(port)};
  options.args.insert(options.args.end(), feed.args.begin(), feed.args.end());
  auto sink = std::async(std::launch::async, [&] { return run_child(FC_SINK_PATH, options); });
  std::optional<TcpClientStream> idle = idle_peer ? connect_to_sink(port) : std::nullopt;
  if (auto stream = connect_to_sink(port)) {
    EXPECT_TRUE(send_all(*stream, feed.bytes).ok());
  }
  if (idle) {
    EXPECT_TRUE(comes_to_hold(options.out_file, feed.printed_beside_idle_peer));
    EXPECT_FALSE(sink::wait_readable(idle->native(), 0)) << "the idle peer was dropped first";
  }
  ChildResult result = sink.get();
  if (idle_peer) result.out = read_file(options.out_file);
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
      {"output refused",
       {frame("lost"), StreamSetup::kBrokenPipe},
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
        .printed_beside_idle_peer = "second\n"},
       1,
       "second\n",
       "connection 1: idle for 3 s, dropped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildResult result = feed_sink(c.feed);
    ASSERT_TRUE(result.exited) << "signal " << result.term_signal;
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, c.out);
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << result.err;
  }
}

TEST(FrameSink, AnswersHelpVersionAndBadOptions) {
  // Standard error ends its lines the platform's way.
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out_start;
    std::string err_start;
  };
  const std::string usage =
      "usage: frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]";
  const Case cases[] = {
      {{"--help"}, 0, usage + "\n       frame-sink --help | --version\n\nListens on", ""},
      {{"--version"}, 0, "frame-sink " FC_VERSION "\n", ""},
      {{"--idle-timeout", "0"}, 2, "", usage},
      {{"--port"}, 2, "", usage},
      {{"-h"}, 2, "", usage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ChildOptions options;
    options.args = c.args;
    ChildResult result = run_child(FC_SINK_PATH, options);
    expect_exit(result, c.exit_code);
    EXPECT_TRUE(result.out.starts_with(c.out_start)) << result.out;
    EXPECT_EQ(result.out.empty(), c.out_start.empty());
    EXPECT_TRUE(result.err.starts_with(c.err_start)) << result.err;
    EXPECT_EQ(result.err.empty(), c.err_start.empty());
  }
}

}  // namespace
}  // namespace fc::testing
