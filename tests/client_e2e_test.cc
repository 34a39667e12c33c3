// End-to-end: the built client against a real receiver on 127.0.0.1:12345.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/expected_texts.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

const std::string kFrame = std::string("\x00\x00\x00\x1c", 4) + R"({"id":"3","message":"split"})";
const std::string kSuccessOutput =
    "Connected to server\nSent JSON: Message { id: \"3\", message: \"split\" }\n";

std::unique_ptr<Receiver> listen_on_client_port(PeerBehaviour behaviour) {
  std::string why;
  auto receiver = Receiver::listen(kClientPort, behaviour, &why);
  if (!receiver) ADD_FAILURE() << why;
  return receiver;
}

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void expect_frame_received(Receiver& receiver) {
  std::string bytes;
  bool clean_end = false;
  ASSERT_TRUE(receiver.wait(&bytes, &clean_end)) << "the receiver never finished";
  EXPECT_EQ(bytes, kFrame);
  EXPECT_TRUE(clean_end) << "the client must close the stream after the frame";
}

void expect_exit(const ChildResult& result, int code) {
  ASSERT_FALSE(result.timed_out);
  ASSERT_TRUE(result.exited) << "ended by signal " << result.term_signal;
  EXPECT_EQ(result.exit_code, code);
}

TEST(ClientEndToEnd, SendsOneFrameAndReportsIt) {
  auto receiver = listen_on_client_port(PeerBehaviour::kReadToEnd);
  ASSERT_TRUE(receiver);
  ChildResult result = run_child(client_path(), {});
  expect_exit(result, 0);
  EXPECT_EQ(result.out, kSuccessOutput);
  EXPECT_EQ(result.err, "");
  expect_frame_received(*receiver);
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
    expect_frame_received(*receiver);
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
  expect_frame_received(*receiver);
  std::remove(options.out_file.c_str());
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
    expect_frame_received(*receiver);
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
