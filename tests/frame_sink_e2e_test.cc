// frame-sink, the bundled receiver, fed by the product's own stream.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "net/tcp_client_stream.h"
#include "support/child_process.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

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

// Starts frame-sink for one connection, sends `bytes` on it, and returns how
// frame-sink ended.
ChildResult feed_sink(const std::string& bytes, StreamSetup out) {
  std::uint16_t port = free_port();
  ChildOptions options;
  options.out = out;
  options.args = {"--connections", "1", "--port", std::to_string(port)};
  auto sink = std::async(std::launch::async, [&] { return run_child(FC_SINK_PATH, options); });
  std::string endpoint = "127.0.0.1:" + std::to_string(port);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    auto stream = connect_endpoint(endpoint);
    if (stream) {
      EXPECT_TRUE(send_all(*stream, bytes).ok());
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "frame-sink never listened on " << endpoint;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return sink.get();
}

TEST(FrameSink, ReportsEachFrameOrTheFault) {
  struct Case {
    const char* name;
    std::string bytes;
    int exit_code;
    std::string out;
    std::string err_part;
    StreamSetup stdout_to = StreamSetup::kCapture;
  };
  const Case cases[] = {
      {"two frames", frame(R"({"id":"3","message":"split"})") + frame("second"), 0,
       "{\"id\":\"3\",\"message\":\"split\"}\nsecond\n", ""},
      {"empty payload", frame(""), 0, "\n", ""},
      {"no frame at all", "", 0, "", ""},
      {"short prefix", std::string("\0\0", 2), 1, "", "inside a length prefix after 2 of 4"},
      {"short payload", frame("abcdef").substr(0, 7), 1, "", "inside a payload after 3 of 6 bytes"},
      {"length over the bound", std::string("\xff\xff\xff\xff", 4), 1, "",
       "frame length 4294967295 exceeds the limit"},
      {"output refused", frame("lost"), 1, "", "cannot write the frame to standard output",
       StreamSetup::kBrokenPipe},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildResult result = feed_sink(c.bytes, c.stdout_to);
    ASSERT_TRUE(result.exited) << "signal " << result.term_signal;
    EXPECT_EQ(result.exit_code, c.exit_code);
    EXPECT_EQ(result.out, c.out);
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << result.err;
  }
}

}  // namespace
}  // namespace fc::testing
