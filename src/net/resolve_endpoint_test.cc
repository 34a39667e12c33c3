#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/socket_address_testing.h"
#include "net/tcp_client_stream.h"

namespace fc {
namespace {

// What became of an endpoint text: a literal address, a host and port handed
// to the resolver, or an error raised before any lookup.
struct Outcome {
  std::optional<SocketAddress> literal;
  std::optional<std::string> host;
  std::uint16_t port = 0;
  std::string_view error;
};

Outcome literal(SocketAddress address) { return {address, {}, 0, {}}; }
Outcome lookup(std::string host, std::uint16_t port) { return {{}, std::move(host), port, {}}; }
Outcome fails(std::string_view message) { return {{}, {}, 0, message}; }

// The resolver's answer in this test, recognisable among literal results.
const SocketAddress kResolved = Ipv4Address{{192, 0, 2, 99}, 9};

struct Lookup {
  std::string host;
  std::uint16_t port;
};

// Runs the endpoint text through resolve_endpoint with a resolver that only
// records what it was asked, and checks that the result fits the outcome.
void expect_outcome(std::string_view endpoint, const Outcome& expected) {
  SCOPED_TRACE(std::string("endpoint \"") + std::string(endpoint) + '"');
  std::vector<Lookup> lookups;
  auto resolver = [&](std::string_view host, std::uint16_t port) {
    lookups.push_back({std::string(host), port});
    return Result<std::vector<SocketAddress>>(std::vector<SocketAddress>{kResolved});
  };
  Result<std::vector<SocketAddress>> addresses = resolve_endpoint_with(endpoint, resolver);

  if (!expected.error.empty()) {
    EXPECT_TRUE(lookups.empty());
    ASSERT_FALSE(addresses.has_value());
    ASSERT_NE(addresses.error().fixed(), nullptr);
    EXPECT_EQ(addresses.error().fixed()->message, expected.error);
    EXPECT_EQ(addresses.error().kind(), ErrorKind::InvalidInput);
    return;
  }
  ASSERT_TRUE(addresses.has_value());
  if (expected.literal) {
    EXPECT_TRUE(lookups.empty()) << "a literal needs no name lookup";
    EXPECT_EQ(*addresses, std::vector<SocketAddress>{*expected.literal});
    return;
  }
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_EQ(lookups[0].host, expected.host);
  EXPECT_EQ(lookups[0].port, expected.port);
  EXPECT_EQ(*addresses, std::vector<SocketAddress>{kResolved});
}

TEST(ResolveEndpoint, WorkedEndpointTexts) {
  constexpr std::string_view kNoColon = "invalid socket address";
  constexpr std::string_view kBadPort = "invalid port value";
  const struct {
    std::string_view endpoint;
    Outcome outcome;
  } cases[] = {
      {"127.0.0.1:12345", literal(Ipv4Address{{127, 0, 0, 1}, 12345})},
      {"127.0.0.1", fails(kNoColon)},
      {"127.0.0.1:", fails(kBadPort)},
      {"127.0.0.1:65535", literal(Ipv4Address{{127, 0, 0, 1}, 65535})},
      {"127.0.0.1:0", literal(Ipv4Address{{127, 0, 0, 1}, 0})},
      {"127.0.0.1:65536", fails(kBadPort)},
      {"127.0.0.1:00080", literal(Ipv4Address{{127, 0, 0, 1}, 80})},
      {"127.0.0.1:+80", lookup("127.0.0.1", 80)},
      {"127.0.0.01:80", lookup("127.0.0.01", 80)},
      {"256.0.0.1:80", lookup("256.0.0.1", 80)},
      {"1.2.3:80", lookup("1.2.3", 80)},
      {"1.2.3.4:80x", fails(kBadPort)},
      {"[::1]:80", literal(ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 80))},
      {"[fe80::1%7]:80", literal(ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 80, 7))},
      {"[::1%]:80", lookup("[::1%]", 80)},
      {"[::ffff:1.2.3.4]:80", literal(ipv6({0, 0, 0, 0, 0, 0xffff, 0x0102, 0x0304}, 80))},
      {"[::1.2.3.4]:80", literal(ipv6({0, 0, 0, 0, 0, 0, 0x0102, 0x0304}, 80))},
      {"[1:2:3:4:5:6:7:8]:80", literal(ipv6({1, 2, 3, 4, 5, 6, 7, 8}, 80))},
      {"[1:2:3:4:5:6:7::]:80", literal(ipv6({1, 2, 3, 4, 5, 6, 7, 0}, 80))},
      {"[1:2:3:4:5:6:7:8:9]:80", lookup("[1:2:3:4:5:6:7:8:9]", 80)},
      {"[1::2::3]:80", lookup("[1::2::3]", 80)},
      {"[1.2.3.4::]:80", lookup("[1.2.3.4::]", 80)},
      {"[12345::]:80", lookup("[12345::]", 80)},
      {"[::1]", fails(kBadPort)},
      {"::1:80", lookup("::1", 80)},
      // The fallback's own rules.
      {"", fails(kNoColon)},
      {"localhost", fails(kNoColon)},
      {":80", lookup("", 80)},
      {"localhost:", fails(kBadPort)},
      {"localhost:+", fails(kBadPort)},
      {"localhost:-1", fails(kBadPort)},
      {"localhost:++1", fails(kBadPort)},
      {"localhost: 80", fails(kBadPort)},
      {"localhost:99999", fails(kBadPort)},
      {" Local.Host :+00443", lookup(" Local.Host ", 443)},
      {"[::1]:80:81", lookup("[::1]:80", 81)},
      {std::string_view("a\0b:80", 6), lookup(std::string("a\0b", 3), 80)},
  };
  for (const auto& c : cases) expect_outcome(c.endpoint, c.outcome);
}

TEST(ResolveEndpoint, ResolverErrorsPassUpUnchanged) {
  auto failing = [](std::string_view, std::uint16_t) -> Result<std::vector<SocketAddress>> {
    return std::unexpected(IoError::from_os_code(-3));
  };
  Result<std::vector<SocketAddress>> addresses = resolve_endpoint_with("example:1", failing);
  ASSERT_FALSE(addresses.has_value());
  EXPECT_EQ(addresses.error().os_code(), -3);
}

TEST(ResolveEndpoint, LiteralsGoStraightToTheAddressList) {
  // With the system resolver wired in: bracketed text would fail a lookup.
  Result<std::vector<SocketAddress>> addresses = resolve_endpoint("[::1%3]:7");
  ASSERT_TRUE(addresses.has_value());
  EXPECT_EQ(*addresses, std::vector<SocketAddress>{ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 7, 3)});
}

TEST(ResolveEndpoint, NulInHostIsRefused) {
  // With the system resolver wired in: the lookup refuses the host itself.
  auto addresses = resolve_endpoint(std::string_view("local\0host:80", 13));
  ASSERT_FALSE(addresses.has_value());
  ASSERT_NE(addresses.error().fixed(), nullptr);
  EXPECT_EQ(addresses.error().fixed()->message, "file name contained an unexpected NUL byte");
}

}  // namespace
}  // namespace fc
