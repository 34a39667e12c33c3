// End-to-end: the built client against a real receiver on 127.0.0.1:12345.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/expected_texts.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(ClientEndToEnd, SendsOneFrameAndReportsIt) {
  auto receiver = listen_on_client_port(PeerBehaviour::kReadToEnd);
  ASSERT_TRUE(receiver);
  ChildResult result = run_child(client_path(), {});
  expect_exit(result, 0);
  EXPECT_EQ(result.out, kSuccessOutput);
  EXPECT_EQ(result.err, "");
  expect_received(*receiver, kFrame);
}

TEST(ClientEndToEnd, ArgumentsAreIgnored) {
  const std::vector<std::string> argument_lists[] = {
      {"--help"}, {"-v", "x", "y"}, {"127.0.0.1:1"}, {""}};
  for (const auto& args : argument_lists) {
    auto receiver = listen_on_client_port(PeerBehaviour::kReadToEnd);
    ASSERT_TRUE(receiver);
    ChildOptions options;
    options.args = args;
    ChildResult result = run_child(client_path(), options);
    expect_exit(result, 0);
    EXPECT_EQ(result.out, kSuccessOutput);
    EXPECT_EQ(result.err, "");
    expect_received(*receiver, kFrame);
  }
}

TEST(ClientEndToEnd, NothingListeningIsOneFailureLine) {
  ASSERT_TRUE(port_is_free(kClientPort))
      << "another program listens on 127.0.0.1:12345; stop it and run the test again";
  ChildResult result = run_child(client_path(), {});
  expect_exit(result, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, kRefusedLine);
}

TEST(ClientEndToEnd, StandardOutputToAFileIsByteExact) {
  auto receiver = listen_on_client_port(PeerBehaviour::kReadToEnd);
  ASSERT_TRUE(receiver);
  ChildOptions options;
  options.out = StreamSetup::kFile;
  options.out_file = ::testing::TempDir() + "client_stdout.txt";
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 0);
  EXPECT_EQ(read_file(options.out_file), kSuccessOutput);
  expect_received(*receiver, kFrame);
  (void)std::remove(options.out_file.c_str());
}

TEST(ClientEndToEnd, ClosedStandardStreamsNeverReachTheConnection) {
  struct Case {
    const char* name;
    StreamSetup in, out, err;
  };
  const Case cases[] = {
      {"stdout closed", StreamSetup::kCapture, StreamSetup::kClosed, StreamSetup::kCapture},
      {"all three closed", StreamSetup::kClosed, StreamSetup::kClosed, StreamSetup::kClosed},
      {"stdin closed", StreamSetup::kClosed, StreamSetup::kCapture, StreamSetup::kCapture},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto receiver = listen_on_client_port(PeerBehaviour::kReadToEnd);
    ASSERT_TRUE(receiver);
    ChildOptions options;
    options.in = c.in;
    options.out = c.out;
    options.err = c.err;
    ChildResult result = run_child(client_path(), options);
    expect_exit(result, 0);
    if (c.out == StreamSetup::kCapture) {
      EXPECT_EQ(result.out, kSuccessOutput);
    }
    expect_received(*receiver, kFrame);
  }
}

TEST(ClientEndToEnd, PeerResetGivesSuccessOrOneFailureLine) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    auto receiver = listen_on_client_port(PeerBehaviour::kResetAtOnce);
    ASSERT_TRUE(receiver);
    ChildResult result = run_child(client_path(), {});
    ASSERT_TRUE(result.exited) << "ended by signal " << result.term_signal;
    if (result.exit_code == 0) {
      EXPECT_EQ(result.out, kSuccessOutput);
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_EQ(result.exit_code, 1);
      EXPECT_EQ(result.out, "Connected to server\n");
      EXPECT_TRUE(result.err.starts_with("Error: Os { code: ")) << result.err;
      EXPECT_TRUE(result.err.ends_with(" }\n")) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "exactly one line";
    }
  }
}

}  // namespace
}  // namespace fc::testing

// The static Linux client needs no loader, library or file of the system:
// copied alone into an empty directory that becomes the root of the file
// system, it still sends its frame, here to frame-sink.

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

namespace fc::testing {
namespace {

// A program that runs another with a given directory as the root of the file
// system: chroot needs root, unshare a user namespace instead.
struct RootRunner {
  std::string program;
  std::vector<std::string> args;  // then root_option + the root, then the program
  std::string root_option;
};

ChildResult run_in_root(const RootRunner& runner, const std::string& root,
                        const std::string& program) {
  ChildOptions options;
  options.args = runner.args;
  options.args.push_back(runner.root_option + root);
  options.args.push_back(program);
  return run_child(runner.program, options);
}

// The first runner that this machine allows, or null.
const RootRunner* usable_root_runner() {
  static const RootRunner runners[] = {
      {"/usr/sbin/chroot", {}, ""},
      {"/usr/bin/unshare", {"--user", "--map-root-user"}, "--root="},
  };
  for (const RootRunner& runner : runners) {
    if (!std::filesystem::exists(runner.program)) continue;
    ChildResult probe = run_in_root(runner, "/", "/bin/true");
    if (probe.exited && probe.exit_code == 0) return &runner;
  }
  return nullptr;
}

// Runs the client in `root` until it connects: refused until frame-sink listens.
ChildResult run_client_in_root(const RootRunner& runner, const std::string& root) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    ChildResult client = run_in_root(runner, root, "/frame-client");
    bool refused = client.exited && client.exit_code == 1 && client.err == kRefusedLine;
    if (!refused || std::chrono::steady_clock::now() > deadline) return client;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TEST(ClientEndToEnd, RunsAloneInAnEmptyRoot) {
  if (!FC_STATIC_LINUX_CLIENT) {
    GTEST_SKIP() << "only the static Linux client (release preset) runs without a system";
  }
  const RootRunner* runner = usable_root_runner();
  if (runner == nullptr) {
    GTEST_SKIP() << "this machine allows neither chroot nor unshare with a user namespace";
  }
  namespace fs = std::filesystem;
  fs::path root =
      fs::path(::testing::TempDir()) / ("fc_empty_root_" + std::to_string(std::random_device()()));
  fs::create_directory(root);
  fs::copy_file(client_path(), root / "frame-client");

  ChildOptions sink_options;
  sink_options.args = {"--connections", "1"};
  sink_options.timeout_seconds = 20;
  auto sink = std::async(std::launch::async, [&] { return run_child(FC_SINK_PATH, sink_options); });
  ChildResult client = run_client_in_root(*runner, root.string());
  ChildResult sink_result = sink.get();
  fs::remove_all(root);

  expect_exit(client, 0);
  EXPECT_EQ(client.out, kSuccessOutput);
  EXPECT_EQ(client.err, "");
  // frame-sink prints the payload of a frame whose prefix agreed with it and
  // after which the stream ended.
  expect_exit(sink_result, 0);
  EXPECT_EQ(sink_result.out, kFrame.substr(4) + "\n");
  EXPECT_EQ(sink_result.err, "frame-sink: listening on 127.0.0.1:12345\n");
}

}  // namespace
}  // namespace fc::testing
