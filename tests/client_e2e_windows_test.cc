// End-to-end on Windows: the client .exe with standard handles that are
// missing, broken or dangling.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/expected_texts.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

// A parent may hand over handle values it never let the child inherit. A
// value that names nothing in the child may be handed out again to whatever
// the child opens next, its socket included: the progress lines must never
// end up in the connection. (A value that happens to name one of the child's
// own objects is a handle that cannot be written, which ends the run.)
// Wine's loader already turns values that name nothing into no handle; on
// Windows the values reach the child as they are.
TEST(ClientWindows, DanglingStandardHandlesNeverReachTheConnection) {
  int sent = 0;
  for (std::uintptr_t value = 0x04; value <= 0x80; value += 0x04) {
    SCOPED_TRACE("handle value " + std::to_string(value));
    auto receiver = listen_on_client_port();
    ASSERT_TRUE(receiver);
    ChildOptions options;
    options.out = StreamSetup::kDangling;
    options.err = StreamSetup::kDangling;
    options.dangling_value = value;
    ChildResult result = run_child(client_path(), options);
    ASSERT_TRUE(result.exited);
    if (result.exit_code == 0) {
      ++sent;
      expect_received(*receiver, kFrame);
    } else {
      EXPECT_EQ(result.exit_code, 101);
      expect_received(*receiver, "");
    }
  }
  EXPECT_GT(sent, 0) << "no value was dangling in the child";
}

// A handle that is there but refuses writes ends the run; only a missing one
// is discarded.
TEST(ClientWindows, UnwritableStandardOutputGives101) {
  struct Case {
    StreamSetup out;
    const char* code;
  };
  for (const Case& c : {Case{StreamSetup::kBrokenPipe, "232"}, Case{StreamSetup::kReadOnly, "5"}}) {
    SCOPED_TRACE(c.code);
    ChildOptions options;
    options.out = c.out;
    ChildResult result = run_to_abnormal_end(options);
    // The platform's text for the code, then the code itself.
    EXPECT_TRUE(std::regex_match(result.err,
                                 panic_pattern("failed printing to stdout: [^\n]+ " "\\(os error " +
                                               std::string(c.code) + "\\)")))
        << result.err;
  }
}

TEST(ClientWindows, UnwritableStandardErrorKeepsTheStatus) {
  ASSERT_TRUE(port_is_free(kClientPort)) << "another program listens on 127.0.0.1:12345";
  for (StreamSetup err : {StreamSetup::kClosed, StreamSetup::kBrokenPipe}) {
    ChildOptions options;
    options.err = err;
    ChildResult result = run_child(client_path(), options);
    expect_exit(result, 1);
    EXPECT_EQ(result.out, "");
  }
  for (StreamSetup err : {StreamSetup::kClosed, StreamSetup::kBrokenPipe}) {
    ChildOptions options;
    options.out = StreamSetup::kBrokenPipe;
    options.err = err;
    run_to_abnormal_end(options);
  }
}

TEST(ClientWindows, MissingStandardOutputStillSendsTheFrame) {
  auto receiver = listen_on_client_port();
  ASSERT_TRUE(receiver);
  ChildOptions options;
  options.out = StreamSetup::kClosed;
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 0);
  EXPECT_EQ(result.err, "");
  expect_received(*receiver, kFrame);
}

}  // namespace
}  // namespace fc::testing
