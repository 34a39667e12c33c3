#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/endpoint.h"
#include "net/socket.h"
#include "net/socket_ops.h"
#include "net/tcp_client_stream.h"

namespace fc {
namespace {

// Whether Winsock is started in this process: before start-up, and after as
// many cleanups as start-ups, socket creation fails with code 10093.
bool winsock_started() {
  SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
  if (probe != INVALID_SOCKET) {
    closesocket(probe);
    return true;
  }
  return WSAGetLastError() != WSANOTINITIALISED;
}

// Death-test bodies run in a fresh process: they report the first broken
// expectation on standard error and end with status 1, or end with 0.
[[noreturn]] void finish(const char* failure) {
  if (failure != nullptr) std::fprintf(stderr, "%s\n", failure);
  std::fflush(stderr);
  std::_Exit(failure == nullptr ? 0 : 1);
}

void start_on_the_first_socket_and_only_once() {
  if (winsock_started()) finish("started before anything asked for it");
  Result<std::vector<SocketAddress>> literal = resolve_endpoint("127.0.0.1:12345");
  if (!literal || literal->size() != 1) finish("the endpoint is no literal");
  if (winsock_started()) finish("the literal path started the network");
  // Port 1: refused or not, the attempt has created a socket.
  (void)connect_endpoint("127.0.0.1:1");
  if (!winsock_started()) finish("the first socket did not start the network");
  (void)connect_endpoint("127.0.0.1:1");
  ensure_network_started();
  WSACleanup();
  if (winsock_started()) finish("the network was started more than once");
  finish(nullptr);
}

void start_before_a_name_lookup() {
  if (winsock_started()) finish("started before anything asked for it");
  (void)resolve_endpoint("localhost:80");
  if (!winsock_started()) finish("the lookup did not start the network");
  finish(nullptr);
}

void shut_down_once_if_started() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) finish("WSAStartup failed");
  shut_down_network();  // not started by us: nothing to undo
  if (!winsock_started()) finish("cleaned up without a start-up");
  ensure_network_started();
  shut_down_network();
  if (!winsock_started()) finish("cleaned up more than was started");
  WSACleanup();
  if (winsock_started()) finish("no cleanup for the start-up");
  finish(nullptr);
}

TEST(NetworkStartUpDeathTest, LiteralEndpointStartsAtTheFirstSocketOnce) {
  EXPECT_EXIT(start_on_the_first_socket_and_only_once(), ::testing::ExitedWithCode(0), "^$");
}

TEST(NetworkStartUpDeathTest, NameLookupStartsFirst) {
  EXPECT_EXIT(start_before_a_name_lookup(), ::testing::ExitedWithCode(0), "^$");
}

TEST(NetworkStartUpDeathTest, ShutDownCleansUpOnlyWhatWasStarted) {
  EXPECT_EXIT(shut_down_once_if_started(), ::testing::ExitedWithCode(0), "^$");
}

TEST(SocketOpsWindows, SocketsAreNeverInherited) {
  for (const SocketAddress& address :
       {SocketAddress{Ipv4Address{{127, 0, 0, 1}, 80}}, SocketAddress{Ipv6Address{}}}) {
    ensure_network_started();
    Result<NativeSocket> socket = open_socket(address);
    ASSERT_TRUE(socket.has_value());
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(*socket), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    Socket(*socket).reset();
  }
}

TEST(SocketOpsWindows, LocalhostResolvesWithThePortInEveryAddress) {
  Result<std::vector<SocketAddress>> addresses = resolve_host_name("localhost", 8080);
  ASSERT_TRUE(addresses.has_value());
  ASSERT_FALSE(addresses->empty());
  bool loopback_v4 = false;
  for (const SocketAddress& address : *addresses) {
    if (const auto* v4 = std::get_if<Ipv4Address>(&address)) {
      EXPECT_EQ(v4->port, 8080);
      loopback_v4 = loopback_v4 || v4->bytes == std::array<std::uint8_t, 4>{127, 0, 0, 1};
    } else {
      EXPECT_EQ(std::get<Ipv6Address>(address).port, 8080);
    }
  }
  EXPECT_TRUE(loopback_v4);
}

}  // namespace
}  // namespace fc
