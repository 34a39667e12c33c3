// Resolver entries as the POSIX headers lay them out. The conversions need
// the system's socket headers first.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/panic.h"
#include "net/connect_loop.h"
#include "net/sockaddr_conversion.h"
#include "net/socket_address_testing.h"
#include "net/socket_ops.h"

namespace fc {
namespace {

// A hand-made resolver result. Every socket address starts one byte into its
// storage, so that reading it in place would be a misaligned access.
class FakeEntries {
 public:
  void add_ipv4(const char* text, std::uint16_t entry_port) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(entry_port);
    inet_pton(AF_INET, text, &in.sin_addr);
    add(AF_INET, &in, sizeof in);
  }
  void add_ipv6(const char* text, std::uint32_t flow_info, std::uint32_t scope_id) {
    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(4321);
    in6.sin6_flowinfo = flow_info;
    in6.sin6_scope_id = scope_id;
    inet_pton(AF_INET6, text, &in6.sin6_addr);
    add(AF_INET6, &in6, sizeof in6);
  }
  void add_unix() {
    sockaddr_un un{};
    un.sun_family = AF_UNIX;
    add(AF_UNIX, &un, sizeof un);
  }
  // An entry whose address is shorter than its family's structure.
  void add_short(int family) {
    sockaddr_in6 in6{};
    in6.sin6_family = static_cast<sa_family_t>(family);
    add(family, &in6, family == AF_INET ? sizeof(sockaddr_in) - 1 : sizeof(sockaddr_in6) - 1);
  }

  const addrinfo* list() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      entries_[i].ai_addr = reinterpret_cast<sockaddr*>(storage_[i].data() + 1);
      entries_[i].ai_next = i + 1 < entries_.size() ? &entries_[i + 1] : nullptr;
    }
    return entries_.empty() ? nullptr : entries_.data();
  }

 private:
  void add(int family, const void* address, std::size_t length) {
    addrinfo entry{};
    entry.ai_family = family;
    entry.ai_socktype = SOCK_STREAM;
    entry.ai_addrlen = static_cast<socklen_t>(length);
    entries_.push_back(entry);
    storage_.emplace_back(length + 1, '\0');
    std::memcpy(storage_.back().data() + 1, address, length);
  }

  std::vector<addrinfo> entries_;
  std::vector<std::string> storage_;
};

TEST(AddressesFromEntries, KeepsTheResolversOrderAndSetsThePort) {
  FakeEntries entries;
  entries.add_ipv4("10.0.0.1", 1111);
  entries.add_unix();
  entries.add_ipv6("fe80::1:2", 0x12345, 3);
  entries.add_ipv4("10.0.0.2", 2222);
  std::vector<SocketAddress> expected = {
      Ipv4Address{{10, 0, 0, 1}, 8080},
      Ipv6Address{ipv6({0xfe80, 0, 0, 0, 0, 0, 1, 2}, 8080, 3).bytes, 8080, 0x12345, 3},
      Ipv4Address{{10, 0, 0, 2}, 8080},
  };
  EXPECT_EQ(addresses_from_entries(entries.list(), 8080), expected);
}

TEST(AddressesFromEntries, OtherFamiliesOnlyGiveNoAddressToTry) {
  FakeEntries entries;
  entries.add_unix();
  entries.add_unix();
  std::vector<SocketAddress> addresses = addresses_from_entries(entries.list(), 80);
  EXPECT_TRUE(addresses.empty());
  EXPECT_TRUE(addresses_from_entries(nullptr, 80).empty());

  auto lookup = [&](std::string_view, std::uint16_t) {
    return Result<std::vector<SocketAddress>>(addresses);
  };
  auto never = [](const SocketAddress&) -> Result<NativeSocket> {
    ADD_FAILURE() << "no address to try";
    return kNoSocket;
  };
  Result<NativeSocket> socket = connect_endpoint_with("unix.test:80", lookup, never);
  ASSERT_FALSE(socket.has_value());
  EXPECT_EQ(socket.error().fixed(), &kNoAddresses);
}

TEST(AddressesFromEntries, AShortEntryEndsTheRunAbnormally) {
  for (int family : {AF_INET, AF_INET6}) {
    FakeEntries entries;
    entries.add_ipv4("10.0.0.1", 1);
    entries.add_short(family);
    EXPECT_THROW(addresses_from_entries(entries.list(), 80), PanicUnwind) << family;
  }
}

}  // namespace
}  // namespace fc
