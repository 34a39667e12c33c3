// End-to-end: abnormal ends and failure reports of the built client when its
// standard streams or its limits misbehave.

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

// A failed print ends the run with 101 after the connection was made; the
// socket is closed as the run unwinds, so the receiver sees the stream end.
// The first progress line failed, so no frame was sent. A write that fails
// never kills the client by a signal.
TEST(AbnormalEnd, UnwritableStandardOutputGives101) {
  const std::string file = ::testing::TempDir() + "client_limited_stdout.txt";
  struct Case {
    const char* name;
    StreamSetup out;
    long file_size_limit;
    const char* display;
  };
  const Case cases[] = {
      {"full device", StreamSetup::kDevFull, -1, "No space left on device (os error 28)"},
      {"pipe without reader", StreamSetup::kBrokenPipe, -1, "Broken pipe (os error 32)"},
      {"file at its size limit", StreamSetup::kFile, 0, "File too large (os error 27)"},
      {"opened for reading", StreamSetup::kReadOnly, -1, "Bad file descriptor (os error 9)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildOptions options;
    options.out = c.out;
    options.out_file = file;
    options.file_size_limit = c.file_size_limit;
    ChildResult result = run_to_abnormal_end(options);
    std::string display = std::regex_replace(c.display, std::regex("[()]"), "\\$&");
    EXPECT_TRUE(
        std::regex_match(result.err, panic_pattern("failed printing to stdout: " + display)))
        << result.err;
    EXPECT_EQ(result.err.find("Error: "), std::string::npos) << "no failure report after a panic";
  }
  (void)std::remove(file.c_str());
}

TEST(FailureReport, UnwritableStandardErrorStillGives1) {
  ASSERT_TRUE(port_is_free(kClientPort)) << "another program listens on 127.0.0.1:12345";
  for (StreamSetup err : {StreamSetup::kClosed, StreamSetup::kDevFull, StreamSetup::kBrokenPipe,
                          StreamSetup::kReadOnly}) {
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

// With room for two descriptors and standard output closed, the null device
// holds standard output's place and the socket finds none: one failure line,
// and no connection that its text could go into. (A socket that lands in a
// standard slot is moved or refused: the unit tests of open_socket.)
TEST(FailureReport, NoRoomAboveTheStandardStreamsIsOneFailureLine) {
  if (FC_SANITIZED_CLIENT) {
    GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own below this limit";
  }
  auto receiver = listen_on_client_port();
  ASSERT_TRUE(receiver);
  ChildOptions options;
  options.out = StreamSetup::kClosed;
  options.open_files_limit = 2;
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 1);
  EXPECT_EQ(result.err,
            "Error: Os { code: 24, kind: Uncategorized, message: \"Too many open files\" }\n");
  // Had it connected, the receiver would have seen the stream end by now.
  std::string bytes;
  bool clean_end = false;
  EXPECT_FALSE(receiver->wait(&bytes, &clean_end, 1)) << "a connection was made: " << bytes;
}

}  // namespace
}  // namespace fc::testing
