#include "net/tcp_client_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "net/connect_loop.h"
#include "net/endpoint.h"
#include "net/poller_testing.h"
#include "net/serving_ops.h"

namespace fc {
namespace {

SocketAddress v4(std::uint8_t last, std::uint16_t port) {
  return Ipv4Address{{127, 0, 0, last}, port};
}

// connect_endpoint's steps for a name that the lookup answers with `answer`.
template <typename Connect>
Result<NativeSocket> connect_over(const std::vector<SocketAddress>& answer, Connect&& connect) {
  auto lookup = [&](std::string_view, std::uint16_t) {
    return Result<std::vector<SocketAddress>>(answer);
  };
  return connect_endpoint_with("several.test:1", lookup, connect);
}

TEST(ConnectEndpoint, TriesEachAddressOnceInOrderAndKeepsTheLastError) {
  std::vector<SocketAddress> tried;
  auto refuse_all = [&](const SocketAddress& address) -> Result<NativeSocket> {
    tried.push_back(address);
    return std::unexpected(IoError::from_os_code(static_cast<std::int32_t>(tried.size())));
  };
  auto result = connect_over({v4(1, 1), v4(2, 2), v4(3, 3)}, refuse_all);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().os_code(), 3) << "only the last attempt's error is reported";
  EXPECT_EQ(tried, (std::vector<SocketAddress>{v4(1, 1), v4(2, 2), v4(3, 3)}));
}

TEST(ConnectEndpoint, StopsAtTheFirstSuccess) {
  std::vector<SocketAddress> tried;
  auto second_accepts = [&](const SocketAddress& address) -> Result<NativeSocket> {
    tried.push_back(address);
    if (tried.size() == 2) return NativeSocket{42};
    return std::unexpected(IoError::from_os_code(111));
  };
  auto result = connect_over({v4(1, 1), v4(2, 2), v4(3, 3)}, second_accepts);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, NativeSocket{42});
  EXPECT_EQ(tried.size(), 2u);
}

TEST(ConnectEndpoint, EmptyListCannotResolve) {
  auto never = [](const SocketAddress&) -> Result<NativeSocket> {
    ADD_FAILURE() << "no address to try";
    return NativeSocket{0};
  };
  auto result = connect_over({}, never);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().fixed(), &kNoAddresses);
}

// A stream moved onto another closes the socket that stood there; one moved
// onto itself keeps its own.
TEST(TcpClientStream, MoveAssignmentClosesWhatItReplaces) {
  Result<Socket> listener = listen_on(v4(1, 0), 4);
  ASSERT_TRUE(listener.has_value());
  std::string endpoint = "127.0.0.1:" + std::to_string(local_port(listener->native()).value_or(0));
  Result<TcpClientStream> first = connect_endpoint(endpoint);
  Result<TcpClientStream> second = connect_endpoint(endpoint);
  ASSERT_TRUE(first.has_value() && second.has_value());
  Result<Socket> first_peer = accept_connection(listener->native());
  Result<Socket> second_peer = accept_connection(listener->native());
  ASSERT_TRUE(first_peer.has_value() && second_peer.has_value());
  NativeSocket kept = second->native();
  *first = std::move(*second);
  EXPECT_EQ(first->native(), kept);
  EXPECT_EQ(second->native(), kNoSocket);
  std::uint8_t byte = 0;
  EXPECT_TRUE(readable_within(first_peer->native(), 5000));
  EXPECT_EQ(receive_some(first_peer->native(), {&byte, 1}).value_or(1), 0u)
      << "the one replaced is closed";
  TcpClientStream& same = *first;
  *first = std::move(same);
  EXPECT_EQ(first->native(), kept);
  EXPECT_FALSE(readable_within(second_peer->native(), 0)) << "the one kept is open";
}

TEST(ConnectEndpoint, FixedMessageRecords) {
  const struct {
    const FixedMessage& record;
    std::string_view message;
  } cases[] = {
      {kNoAddresses, "could not resolve to any addresses"},
      {kInvalidSocketAddress, "invalid socket address"},
      {kInvalidPortValue, "invalid port value"},
      {kUnexpectedNul, "file name contained an unexpected NUL byte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.record.message, c.message);
    EXPECT_EQ(c.record.kind, ErrorKind::InvalidInput) << c.message;
  }
}

}  // namespace
}  // namespace fc
