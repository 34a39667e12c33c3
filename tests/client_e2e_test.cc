// End-to-end: the built client against a real receiver on 127.0.0.1:12345.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/expected_texts.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

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

// A system that refuses close-on-exec when a socket is made: the client makes
// it without and sets the flag after, and sends as ever.
TEST(ClientEndToEnd, SocketRefusingCloseOnExecIsMadeWithout) {
  if (!runner_injects_failures()) GTEST_SKIP() << "no strace here, or the client is emulated";
  auto receiver = listen_on_client_port(PeerBehaviour::kReadToEnd);
  ASSERT_TRUE(receiver);
  ChildOptions options;
  options.inject = "socket:error=EINVAL:when=1";
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 0);
  EXPECT_EQ(result.out, kSuccessOutput);
  expect_received(*receiver, kFrame);
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
