// End-to-end on Windows: the client .exe with standard handles that are
// missing, broken or dangling.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

const std::string kFrame = std::string("\x00\x00\x00\x1c", 4) + R"({"id":"3","message":"split"})";
const std::string kSuccessOutput =
    "Connected to server\nSent JSON: Message { id: \"3\", message: \"split\" }\n";

void expect_exit(const ChildResult& result, int code) {
  ASSERT_FALSE(result.timed_out);
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_code, code);
}

void expect_received(Receiver& receiver, const std::string& expected) {
  std::string bytes;
  bool clean_end = false;
  ASSERT_TRUE(receiver.wait(&bytes, &clean_end)) << "the receiver never finished";
  EXPECT_EQ(bytes, expected);
  EXPECT_TRUE(clean_end);
}

std::unique_ptr<Receiver> listen_on_client_port() {
  std::string why;
  auto receiver = Receiver::listen(kClientPort, PeerBehaviour::kReadToEnd, &why);
  if (!receiver) ADD_FAILURE() << why;
  return receiver;
}

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

TEST(ClientWindows, PipeWithoutReaderOnStandardOutputGives101) {
  auto receiver = listen_on_client_port();
  ASSERT_TRUE(receiver);
  ChildOptions options;
  options.out = StreamSetup::kBrokenPipe;
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 101);
  // The platform's text for the pipe's code, then the code itself.
  EXPECT_TRUE(std::regex_match(
      result.err, std::regex("thread 'main' panicked at src/[a-z_/]+\\.cc:[0-9]+:[0-9]+:\n"
                             "failed printing to stdout: [^\n]+ \\(os error 232\\)\n"
                             "note: [^\n]+\n")))
      << result.err;
  expect_received(*receiver, "");
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
    auto receiver = listen_on_client_port();
    ASSERT_TRUE(receiver);
    ChildOptions options;
    options.out = StreamSetup::kBrokenPipe;
    options.err = err;
    ChildResult result = run_child(client_path(), options);
    expect_exit(result, 101);
    expect_received(*receiver, "");
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
