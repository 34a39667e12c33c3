// End-to-end: the static Linux client needs no loader, library or file of the
// system: copied alone into an empty directory that becomes the root of the
// file system, it still sends its frame, here to frame-sink.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/expected_texts.h"
#include "support/receiver.h"
#include "support/sink_process.h"

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
                        const std::string& program, ChildOptions options = {}) {
  options.args = runner.args;
  options.args.push_back(runner.root_option + root);
  options.args.push_back(program);
  return run_native(runner.program, options);
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

// Without /dev/null to hold the place of a closed stream, the client still
// never lets its socket take that place: its text never reaches the wire.
TEST(ClientEndToEnd, RunsAloneInAnEmptyRoot) {
  if (!FC_STATIC_LINUX_CLIENT) {
    GTEST_SKIP() << "only the static Linux client (release preset) runs without a system";
  }
  if (!program_emulator().empty()) {
    GTEST_SKIP() << "the client runs here under "
                 << std::filesystem::path(program_emulator().front()).filename().string()
                 << ", which is not in the empty root";
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

  const std::string payload_line = kFrame.substr(4) + "\n";
  struct Case {
    const char* name;
    StreamSetup out, err;
    int exit_code;
    std::string out_text;
    std::string sink_out;  // frame-sink prints each payload; nothing for no frame
  };
  const Case cases[] = {
      {"streams captured", StreamSetup::kCapture, StreamSetup::kCapture, 0, kSuccessOutput,
       payload_line},
      {"stdout closed", StreamSetup::kClosed, StreamSetup::kCapture, 0, "", payload_line},
      {"stdout full, stderr closed", StreamSetup::kDevFull, StreamSetup::kClosed, 101, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildOptions sink_options;
    sink_options.args = {"--connections", "1"};
    sink_options.timeout_seconds = 20;
    SinkProcess sink(sink_options);
    ASSERT_EQ(sink.port(), kClientPort) << "frame-sink never listened on the client's port";
    ChildOptions client_options;
    client_options.out = c.out;
    client_options.err = c.err;
    ChildResult client = run_in_root(*runner, root.string(), "/frame-client", client_options);
    ChildResult sink_result = sink.finish();

    expect_exit(client, c.exit_code);
    EXPECT_EQ(client.out, c.out_text);
    if (c.err == StreamSetup::kCapture) {
      EXPECT_EQ(client.err, "");
    }
    // A frame whose prefix agreed with its payload, then the end of the
    // stream: nothing else was sent.
    expect_exit(sink_result, 0);
    EXPECT_EQ(sink_result.out, c.sink_out);
    EXPECT_EQ(sink_result.err,
              "frame-sink: listening on 127.0.0.1:12345\nframe-sink: " +
                  std::string(c.sink_out.empty() ? "0 frames, 0 bytes" : "1 frame, 28 bytes") +
                  ", 1 connection, 0 faults\n");
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace fc::testing
