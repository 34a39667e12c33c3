#ifndef FC_TESTS_SUPPORT_CLIENT_CHECKS_H_
#define FC_TESTS_SUPPORT_CLIENT_CHECKS_H_

// Checks shared by the end-to-end tests that run the built client.

#include <memory>
#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/receiver.h"

namespace fc::testing {

/// The whole content of a file; empty when it cannot be read.
std::string read_file(const std::string& path);

/// A receiver on the client's port; null, with the test failed, when the
/// port cannot be had.
std::unique_ptr<Receiver> listen_on_client_port(
    PeerBehaviour behaviour = PeerBehaviour::kReadToEnd);

/// The child ended by itself (no time-out, no signal) with status `code`.
void expect_exit(const ChildResult& result, int code);

/// The connection brought exactly `expected` and then ended cleanly.
void expect_received(Receiver& receiver, const std::string& expected);

/// Runs the client with a receiver on its port and expects an abnormal end
/// (status 101) before anything was sent, with the connection closed. The run
/// is returned for further checks.
ChildResult run_to_abnormal_end(const ChildOptions& options);

/// The whole abnormal-end diagnostic, `message` being a regular expression:
/// the location relative to the project root, the message, one note line.
std::regex panic_pattern(const std::string& message);

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_CLIENT_CHECKS_H_
