// The POSIX resolver, with hosts that need no query to leave the machine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_text/text_sink.h"
#include "net/socket_address_testing.h"
#include "net/socket_ops.h"

namespace fc {
namespace {

TEST(ResolveHostName, NumericHosts) {
  const struct {
    std::string_view host;
    SocketAddress address;
  } cases[] = {
      {"127.0.0.1", Ipv4Address{{127, 0, 0, 1}, 443}},
      {"::1", ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 443)},
      {"::ffff:10.1.2.3", ipv6({0, 0, 0, 0, 0, 0xffff, 0x0a01, 0x0203}, 443)},
  };
  for (const auto& c : cases) {
    Result<std::vector<SocketAddress>> addresses = resolve_host_name(c.host, 443);
    ASSERT_TRUE(addresses.has_value()) << c.host;
    EXPECT_EQ(*addresses, std::vector<SocketAddress>{c.address}) << c.host;
  }
}

TEST(ResolveHostName, NulInTheHostOnEitherSideOfTheStackBuffer) {
  for (std::size_t length : {1u, 383u, 384u, 2000u}) {
    std::string host(length, 'a');
    host[length - 1] = '\0';
    Result<std::vector<SocketAddress>> addresses = resolve_host_name(host, 80);
    ASSERT_FALSE(addresses.has_value()) << length;
    ASSERT_NE(addresses.error().fixed(), nullptr) << length;
    EXPECT_EQ(addresses.error().fixed()->message, "file name contained an unexpected NUL byte");
  }
}

TEST(ResolveHostName, OverlongNamesFailAlikeOnEitherSideOfTheStackBuffer) {
  // Names this long are refused without any query leaving the machine.
  std::string first_text;
  for (std::size_t length : {383u, 384u}) {
    Result<std::vector<SocketAddress>> addresses = resolve_host_name(std::string(length, 'a'), 80);
    ASSERT_FALSE(addresses.has_value()) << length;
    StringSink sink;
    addresses.error().write_debug(sink);
    std::string text = sink.take();
    if (first_text.empty()) first_text = text;
    EXPECT_EQ(text, first_text) << length;
  }
}

}  // namespace
}  // namespace fc
