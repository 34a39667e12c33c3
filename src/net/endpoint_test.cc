#include "net/endpoint.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/connect_loop.h"
#include "net/socket_address_testing.h"
#include "net/socket_ops.h"

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
      {"9", 9},         {"/", {}},         {":", {}},  // each end of the digits
  };
  for (const Case& c : cases) EXPECT_EQ(parse_port_text(c.text), c.port) << c.text;
}

// What became of an endpoint text: a literal address, a host and port handed
// to the resolver, or an error raised before any lookup.
struct Outcome {
  std::optional<SocketAddress> literal;
  std::optional<std::string> host;
  std::uint16_t port = 0;
  const FixedMessage* error = nullptr;
};

Outcome literal(SocketAddress address) { return {address, {}, 0, nullptr}; }
Outcome lookup(std::string host, std::uint16_t port) {
  return {{}, std::move(host), port, nullptr};
}
Outcome fails(const FixedMessage& message) { return {{}, {}, 0, &message}; }

// The resolver's answer in this test, recognisable among literal results.
const SocketAddress kResolved = Ipv4Address{{192, 0, 2, 99}, 9};

struct Lookup {
  std::string host;
  std::uint16_t port;
};

// Runs the endpoint text through connect_endpoint's steps with a resolver and
// a connect step that only record what they were given (every connection is
// refused), and checks that what they saw fits the outcome.
void expect_outcome(std::string_view endpoint, const Outcome& expected) {
  SCOPED_TRACE(std::string("endpoint \"") + std::string(endpoint) + '"');
  std::vector<Lookup> lookups;
  auto resolver = [&](std::string_view host, std::uint16_t port) {
    lookups.push_back({std::string(host), port});
    return Result<std::vector<SocketAddress>>(std::vector<SocketAddress>{kResolved});
  };
  std::vector<SocketAddress> tried;
  auto refuse = [&](const SocketAddress& address) -> Result<NativeSocket> {
    tried.push_back(address);
    return std::unexpected(IoError::from_os_code(111));
  };
  Result<NativeSocket> socket = connect_endpoint_with(endpoint, resolver, refuse);
  ASSERT_FALSE(socket.has_value());

  if (expected.error != nullptr) {
    EXPECT_TRUE(lookups.empty());
    EXPECT_TRUE(tried.empty());
    // The record itself, raised in another file: one address everywhere.
    EXPECT_EQ(socket.error().fixed(), expected.error);
    return;
  }
  EXPECT_EQ(socket.error().os_code(), 111);
  if (expected.literal) {
    EXPECT_TRUE(lookups.empty()) << "a literal needs no name lookup";
    EXPECT_EQ(tried, std::vector<SocketAddress>{*expected.literal});
    return;
  }
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_EQ(lookups[0].host, expected.host);
  EXPECT_EQ(lookups[0].port, expected.port);
  EXPECT_EQ(tried, std::vector<SocketAddress>{kResolved});
}

TEST(ResolveEndpoint, WorkedEndpointTexts) {
  const FixedMessage& kNoColon = kInvalidSocketAddress;
  const FixedMessage& kBadPort = kInvalidPortValue;
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
  auto never = [](const SocketAddress&) -> Result<NativeSocket> {
    ADD_FAILURE() << "nothing to connect to";
    return kNoSocket;
  };
  Result<NativeSocket> socket = connect_endpoint_with("example:1", failing, never);
  ASSERT_FALSE(socket.has_value());
  EXPECT_EQ(socket.error().os_code(), -3);
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
  EXPECT_EQ(addresses.error().fixed(), &kUnexpectedNul);
}

}  // namespace
}  // namespace fc
