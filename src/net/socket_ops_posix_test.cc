// The POSIX resolver, with hosts that need no query to leave the machine,
// and new sockets kept out of the standard streams' places.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>
#include <string>
#include <vector>

#include "debug_text/text_sink.h"
#include "net/socket_address_testing.h"
#include "net/serving_ops.h"
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
  // Names this long are refused without any query leaving the machine, as
  // the resolver's own "not known", though glibc leaves errno set (EMSGSIZE).
  std::string first_text;
  for (std::size_t length : {383u, 384u}) {
    Result<std::vector<SocketAddress>> addresses = resolve_host_name(std::string(length, 'a'), 80);
    ASSERT_FALSE(addresses.has_value()) << length;
    EXPECT_EQ(addresses.error().kind(), ErrorKind::NotFound) << length;
    StringSink sink;
    addresses.error().write_debug(sink);
    std::string text = sink.take();
    if (first_text.empty()) first_text = text;
    EXPECT_EQ(text, first_text) << length;
  }
}

// The lowest descriptor free.
int lowest_free() {
  int fd = open("/dev/null", O_RDONLY);
  close(fd);
  return fd;
}

// A connection refused leaves no descriptor behind.
TEST(ConnectAddress, ClosesTheSocketOfAFailedAttempt) {
  Result<Socket> listener = listen_on(Ipv4Address{{127, 0, 0, 1}, 0}, 1);
  ASSERT_TRUE(listener.has_value());
  Ipv4Address address{{127, 0, 0, 1}, local_port(listener->native()).value_or(0)};
  listener->reset();  // nothing listens there now
  int before = lowest_free();
  EXPECT_FALSE(connect_address(address).has_value());
  EXPECT_EQ(lowest_free(), before) << "a descriptor was left open";
}

// Nor does a port that another socket holds.
TEST(ListenOn, ClosesTheSocketWhenThePortIsTaken) {
  Result<Socket> holder = listen_on(Ipv4Address{{127, 0, 0, 1}, 0}, 1);
  ASSERT_TRUE(holder.has_value());
  Ipv4Address address{{127, 0, 0, 1}, local_port(holder->native()).value_or(0)};
  int before = lowest_free();
  EXPECT_FALSE(listen_on(address, 1).has_value());
  EXPECT_EQ(lowest_free(), before) << "a descriptor was left open";
}

// Connections not yet accepted are counted, so that a receiver that closes
// its listener can say how many it leaves.
TEST(ListenOn, CountsTheConnectionsWaiting) {
  Result<Socket> listener = listen_on(Ipv4Address{{127, 0, 0, 1}, 0}, 8);
  ASSERT_TRUE(listener.has_value());
  Ipv4Address address{{127, 0, 0, 1}, local_port(listener->native()).value_or(0)};
  std::vector<Socket> peers;
  peers.reserve(3);
  for (int i = 0; i < 3; ++i) peers.emplace_back(connect_address(address).value_or(kNoSocket));
  Result<std::size_t> waiting = connections_waiting(listener->native());
  if (!waiting) GTEST_SKIP() << "this system does not tell the count";
  EXPECT_EQ(*waiting, 3u);
  Result<Socket> taken = accept_connection(listener->native());
  EXPECT_EQ(connections_waiting(listener->native()).value_or(0), 2u);
}

// Only an IPv6 listener can take IPv4 connections too; asked of an IPv4
// one, the answer is no.
TEST(ListenOn, TakesIpv4TooOnlyOnADualStackListener) {
  Result<Socket> v4 = listen_on(Ipv4Address{{127, 0, 0, 1}, 0}, 1);
  ASSERT_TRUE(v4.has_value());
  EXPECT_FALSE(takes_ipv4_too(v4->native()));
  Result<Socket> v6 = listen_on(Ipv6Address{}, 1);
  if (!v6) GTEST_SKIP() << "no IPv6 here";
  EXPECT_TRUE(takes_ipv4_too(v6->native()));
}

bool is_free(int fd) { return fcntl(fd, F_GETFD) < 0 && errno == EBADF; }

// In a child process: frees the standard slots given, sets the descriptor
// limit (0: as it is) and opens a socket, which lands in the lowest free
// slot. Ends with 0 when the socket moved to the lowest place above the
// standard slots, close-on-exec, or when it was refused as too many open
// files for lack of room there; otherwise with the number of the broken
// expectation.
[[noreturn]] void open_with_slots_free(std::initializer_list<int> slots, rlim_t limit) {
  for (int slot : slots) close(slot);
  for (int fd = 3; fd < 64; ++fd) close(fd);  // the child only ends, and says how by its status
  int above = limit == 0 ? 3 : -1;            // where the socket belongs
  if (limit != 0) {
    rlimit files{limit, limit};
    if (setrlimit(RLIMIT_NOFILE, &files) != 0) _exit(10);
  }
  Result<NativeSocket> socket = open_socket(Ipv4Address{{127, 0, 0, 1}, 0});
  for (int slot : slots) {
    if (!is_free(slot)) _exit(11);  // the socket stayed in a standard slot
  }
  if (above < 0) _exit(!socket && socket.error().os_code() == EMFILE ? 0 : 12);
  if (!socket) _exit(13);
  if (static_cast<int>(*socket) != above) _exit(14);
  _exit(fcntl(static_cast<int>(*socket), F_GETFD) == FD_CLOEXEC ? 0 : 15);
}

TEST(OpenSocketDeathTest, NeverTakesAStandardStreamsPlace) {
  EXPECT_EXIT(open_with_slots_free({0, 2}, 0), ::testing::ExitedWithCode(0), "")
      << "room above the standard slots";
  EXPECT_EXIT(open_with_slots_free({0}, 3), ::testing::ExitedWithCode(0), "")
      << "no room above them";
}

}  // namespace
}  // namespace fc
