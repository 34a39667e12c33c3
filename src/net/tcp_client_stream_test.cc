#include "net/tcp_client_stream.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace fc {
namespace {

TEST(ParsePortText, Table) {
  struct Case {
    std::string_view text;
    std::optional<std::uint16_t> port;
  };
  const Case cases[] = {
      {"80", 80},       {"+80", 80},       {"0", 0},      {"00080", 80},
      {"65535", 65535}, {"065535", 65535}, {"65536", {}}, {"99999999999999999999", {}},
      {"", {}},         {"+", {}},         {"-", {}},     {"-1", {}},
      {"++1", {}},      {"80x", {}},       {" 80", {}},   {"80 ", {}},
      {"1]", {}},       {"0x50", {}},      {"+0", 0},     {"4294967376", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_port_text(c.text), c.port) << c.text;
}

std::string fixed_message_of(const IoError& error) {
  return error.fixed() != nullptr ? std::string(error.fixed()->message) : "(not fixed)";
}

SocketAddress v4(std::uint8_t last, std::uint16_t port) {
  return Ipv4Address{{127, 0, 0, last}, port};
}

TEST(ConnectFirst, TriesEachAddressOnceInOrderAndKeepsTheLastError) {
  std::vector<SocketAddress> tried;
  auto refuse_all = [&](const SocketAddress& address) -> Result<NativeSocket> {
    tried.push_back(address);
    return std::unexpected(IoError::from_os_code(static_cast<std::int32_t>(tried.size())));
  };
  auto result = connect_first({v4(1, 1), v4(2, 2), v4(3, 3)}, refuse_all);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().os_code(), 3) << "only the last attempt's error is reported";
  EXPECT_EQ(tried, (std::vector<SocketAddress>{v4(1, 1), v4(2, 2), v4(3, 3)}));
}

TEST(ConnectFirst, StopsAtTheFirstSuccess) {
  std::vector<SocketAddress> tried;
  auto second_accepts = [&](const SocketAddress& address) -> Result<NativeSocket> {
    tried.push_back(address);
    if (tried.size() == 2) return NativeSocket{42};
    return std::unexpected(IoError::from_os_code(111));
  };
  auto result = connect_first({v4(1, 1), v4(2, 2), v4(3, 3)}, second_accepts);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, NativeSocket{42});
  EXPECT_EQ(tried.size(), 2u);
}

TEST(ConnectFirst, EmptyListCannotResolve) {
  auto never = [](const SocketAddress&) -> Result<NativeSocket> {
    ADD_FAILURE() << "no address to try";
    return NativeSocket{0};
  };
  auto result = connect_first({}, never);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(fixed_message_of(result.error()), "could not resolve to any addresses");
}

}  // namespace
}  // namespace fc
