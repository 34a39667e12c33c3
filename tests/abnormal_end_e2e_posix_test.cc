// End-to-end: abnormal ends and failure reports of the built client when its
// standard streams misbehave.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

// A failed print ends the run with 101 after the connection was made; the
// socket is closed as the run unwinds, so the receiver sees the stream end.
// The first progress line failed, so no frame was sent.
void expect_print_failure(StreamSetup out, const std::string& display) {
  ChildOptions options;
  options.out = out;
  ChildResult result = run_to_abnormal_end(options);
  EXPECT_TRUE(std::regex_match(
      result.err, panic_pattern("failed printing to stdout: " +
                                std::regex_replace(display, std::regex("[()]"), "\\$&"))))
      << result.err;
  EXPECT_EQ(result.err.find("Error: "), std::string::npos) << "no failure report after a panic";
}

TEST(AbnormalEnd, StandardOutputFullGives101) {
  expect_print_failure(StreamSetup::kDevFull, "No space left on device (os error 28)");
}

TEST(AbnormalEnd, ClosedPipeGives101NotASignal) {
  expect_print_failure(StreamSetup::kBrokenPipe, "Broken pipe (os error 32)");
}

TEST(FailureReport, UnwritableStandardErrorStillGives1) {
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
  for (StreamSetup err : {StreamSetup::kClosed, StreamSetup::kBrokenPipe}) {
    ChildOptions options;
    options.out = StreamSetup::kDevFull;
    options.err = err;
    run_to_abnormal_end(options);
  }
}

}  // namespace
}  // namespace fc::testing
