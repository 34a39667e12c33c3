#include "support/client_checks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fc::testing {

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::unique_ptr<Receiver> listen_on_client_port(PeerBehaviour behaviour) {
  std::string why;
  auto receiver = Receiver::listen(kClientPort, behaviour, &why);
  if (!receiver) ADD_FAILURE() << why;
  return receiver;
}

void expect_exit(const ChildResult& result, int code) {
  ASSERT_FALSE(result.timed_out);
  ASSERT_TRUE(result.exited) << "ended by signal " << result.term_signal;
  EXPECT_EQ(result.exit_code, code);
}

void expect_received(Receiver& receiver, const std::string& expected) {
  std::string bytes;
  bool clean_end = false;
  ASSERT_TRUE(receiver.wait(&bytes, &clean_end)) << "the receiver never finished";
  EXPECT_EQ(bytes, expected);
  EXPECT_TRUE(clean_end) << "the client must close the stream after what it sent";
}

ChildResult run_to_abnormal_end(const ChildOptions& options) {
  auto receiver = listen_on_client_port();
  if (!receiver) return {};
  ChildResult result = run_child(client_path(), options);
  expect_exit(result, 101);
  expect_received(*receiver, "");
  return result;
}

std::regex panic_pattern(const std::string& message) {
  return std::regex("thread 'main' panicked at src/[a-z_/]+\\.cc:[1-9][0-9]*:[1-9][0-9]*:\n" +
                    message + "\nnote: [^\n]+\n");
}

}  // namespace fc::testing
