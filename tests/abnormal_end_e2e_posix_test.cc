// End-to-end: abnormal ends and failure reports of the built client when its
// standard streams misbehave.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

void expect_exit(const ChildResult& result, int code) {
  ASSERT_FALSE(result.timed_out);
  ASSERT_TRUE(result.exited) << "ended by signal " << result.term_signal;
  EXPECT_EQ(result.exit_code, code);
}

// The whole diagnostic: location relative to the project root, the message,
// one note line.
std::regex panic_pattern(const std::string& message) {
  return std::regex("thread 'main' panicked at src/[a-z_/]+\\.cc:[1-9][0-9]*:[1-9][0-9]*:\n" +
                    message + "\nnote: [^\n]+\n");
}

// A failed print ends the run with 101 after the connection was made; the
// socket is closed as the run unwinds, so the receiver sees the stream end.
void expect_print_failure(StreamSetup out, const std::string& display) {
  std::string why;
  auto receiver = Receiver::listen(kClientPort, PeerBehaviour::kReadToEnd, &why);
  ASSERT_TRUE(receiver) << why;
  ChildOptions options;
  options.out = out;
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 101);
  EXPECT_TRUE(std::regex_match(
      result.err, panic_pattern("failed printing to stdout: " +
                                std::regex_replace(display, std::regex("[()]"), "\\$&"))))
      << result.err;
  EXPECT_EQ(result.err.find("Error: "), std::string::npos) << "no failure report after a panic";
  std::string bytes;
  bool clean_end = false;
  ASSERT_TRUE(receiver->wait(&bytes, &clean_end));
  EXPECT_EQ(bytes, "") << "the first progress line failed, so no frame was sent";
  EXPECT_TRUE(clean_end);
}

TEST(AbnormalEnd, StandardOutputFullGives101) {
#ifdef _WIN32
  GTEST_SKIP() << "no /dev/full";
#endif
  expect_print_failure(StreamSetup::kDevFull, "No space left on device (os error 28)");
}

TEST(AbnormalEnd, ClosedPipeGives101NotASignal) {
#ifdef _WIN32
  GTEST_SKIP() << "the pipe's error differs on Windows";
#endif
  expect_print_failure(StreamSetup::kBrokenPipe, "Broken pipe (os error 32)");
}

TEST(FailureReport, UnwritableStandardErrorStillGives1) {
#ifdef _WIN32
  GTEST_SKIP() << "no /dev/full";
#endif
  ASSERT_TRUE(port_is_free(kClientPort)) << "another program listens on 127.0.0.1:12345";
  for (StreamSetup err : {StreamSetup::kClosed, StreamSetup::kDevFull, StreamSetup::kBrokenPipe}) {
    ChildOptions options;
    options.err = err;
    ChildResult result = run_child(client_path(), options);
    expect_exit(result, 1);
    EXPECT_EQ(result.out, "");
  }
}

TEST(AbnormalEnd, UnwritableStandardErrorDuringAPanicStillGives101) {
#ifdef _WIN32
  GTEST_SKIP() << "no /dev/full";
#endif
  for (StreamSetup err : {StreamSetup::kClosed, StreamSetup::kBrokenPipe}) {
    std::string why;
    auto receiver = Receiver::listen(kClientPort, PeerBehaviour::kReadToEnd, &why);
    ASSERT_TRUE(receiver) << why;
    ChildOptions options;
    options.out = StreamSetup::kDevFull;
    options.err = err;
    ChildResult result = run_child(client_path(), options);
    expect_exit(result, 101);
    std::string bytes;
    bool clean_end = false;
    ASSERT_TRUE(receiver->wait(&bytes, &clean_end));
    EXPECT_TRUE(clean_end);
  }
}

}  // namespace
}  // namespace fc::testing
