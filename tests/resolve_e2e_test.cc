// Endpoints whose name stands for several addresses, tried against real
// sockets on the loopback interface through connect_endpoint's own steps.
// The lookup itself is replaced: no name here resolves to more than one
// address on every machine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/connect_loop.h"
#include "net/socket.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

SocketAddress loopback_v4(std::uint16_t port) { return Ipv4Address{{127, 0, 0, 1}, port}; }

SocketAddress loopback_v6(std::uint16_t port) {
  Ipv6Address address;
  address.bytes[15] = 1;
  address.port = port;
  return address;
}

// A link-local address without a scope: refused by the system before any
// packet is sent, with an error other than a refused connection.
SocketAddress unscoped_link_local(std::uint16_t port) {
  Ipv6Address address;
  address.bytes[0] = 0xfe;
  address.bytes[1] = 0x80;
  address.bytes[15] = 1;
  address.port = port;
  return address;
}

// Connects to "several.test:<port>" with connect_endpoint's steps and the
// real connect step, the lookup answering with the given addresses;
// records every attempt.
struct Attempts {
  std::vector<SocketAddress> tried;
  std::vector<std::optional<std::int32_t>> codes;  // nothing: connected
};

Result<NativeSocket> connect_several(std::uint16_t port, std::vector<SocketAddress> answer,
                                     Attempts* attempts) {
  std::string endpoint = "several.test:" + std::to_string(port);
  auto resolver = [&](std::string_view host, std::uint16_t asked_port) {
    EXPECT_EQ(host, "several.test");
    EXPECT_EQ(asked_port, port);
    return Result<std::vector<SocketAddress>>(answer);
  };
  auto recorded_connect = [&](const SocketAddress& address) {
    attempts->tried.push_back(address);
    Result<NativeSocket> socket = connect_address(address);
    attempts->codes.push_back(socket ? std::nullopt : socket.error().os_code());
    return socket;
  };
  return connect_endpoint_with(endpoint, resolver, recorded_connect);
}

std::optional<std::int32_t> lone_attempt_code(const SocketAddress& address) {
  Result<NativeSocket> socket = connect_address(address);
  if (socket) {
    Socket(*socket).reset();
    return std::nullopt;
  }
  return socket.error().os_code();
}

TEST(ResolveEndToEnd, FirstAddressRefusedSecondConnects) {
  std::string why;
  auto receiver = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
  ASSERT_TRUE(receiver) << why;
  std::uint16_t port = receiver->port();

  Attempts attempts;
  Result<NativeSocket> socket =
      connect_several(port, {loopback_v6(port), loopback_v4(port), loopback_v4(port)}, &attempts);
  ASSERT_TRUE(socket.has_value());
  Socket(*socket).reset();

  // The receiver listens on IPv4 only, so ::1 fails; the next address is
  // taken and the third is never tried.
  EXPECT_EQ(attempts.tried, (std::vector<SocketAddress>{loopback_v6(port), loopback_v4(port)}));
  ASSERT_EQ(attempts.codes.size(), 2u);
  EXPECT_TRUE(attempts.codes[0].has_value());
  EXPECT_FALSE(attempts.codes[1].has_value());
  std::string received;
  bool clean_end = false;
  ASSERT_TRUE(receiver->wait(&received, &clean_end));
  EXPECT_TRUE(receiver->accepted());
}

TEST(ResolveEndToEnd, WhenEveryAddressFailsOnlyTheLastErrorIsReported) {
  std::string why;
  auto receiver = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
  ASSERT_TRUE(receiver) << why;
  std::uint16_t port = receiver->port();

  // Two addresses that fail in different ways.
  const SocketAddress refused = loopback_v6(port);
  const SocketAddress invalid = unscoped_link_local(port);
  std::optional<std::int32_t> refused_code = lone_attempt_code(refused);
  std::optional<std::int32_t> invalid_code = lone_attempt_code(invalid);
  ASSERT_TRUE(refused_code.has_value());
  ASSERT_TRUE(invalid_code.has_value());
  ASSERT_NE(refused_code, invalid_code);

  const struct {
    std::vector<SocketAddress> answer;
    std::optional<std::int32_t> reported;
  } cases[] = {
      {{invalid, refused}, refused_code},
      {{refused, invalid}, invalid_code},
      {{refused, invalid, invalid, refused}, refused_code},
  };
  for (const auto& c : cases) {
    Attempts attempts;
    Result<NativeSocket> socket = connect_several(port, c.answer, &attempts);
    ASSERT_FALSE(socket.has_value());
    EXPECT_EQ(socket.error().os_code(), c.reported);
    EXPECT_EQ(attempts.tried, c.answer) << "every address once, in order";
  }
  EXPECT_FALSE(receiver->accepted());
}

}  // namespace
}  // namespace fc::testing
