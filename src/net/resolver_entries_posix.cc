#include "net/resolver_entries_posix.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <optional>

#include "error/panic.h"

namespace fc {
namespace {

// Entries are copied out with memcpy: ai_addr need not be aligned for the
// family's structure.
std::optional<SocketAddress> from_entry(const addrinfo& entry, std::uint16_t port) {
  if (entry.ai_family == AF_INET) {
    if (entry.ai_addrlen < sizeof(sockaddr_in)) panic("resolver returned a short IPv4 address");
    sockaddr_in in;
    std::memcpy(&in, entry.ai_addr, sizeof in);
    Ipv4Address v4;
    std::memcpy(v4.bytes.data(), &in.sin_addr, v4.bytes.size());
    v4.port = port;
    return v4;
  }
  if (entry.ai_family == AF_INET6) {
    if (entry.ai_addrlen < sizeof(sockaddr_in6)) panic("resolver returned a short IPv6 address");
    sockaddr_in6 in6;
    std::memcpy(&in6, entry.ai_addr, sizeof in6);
    Ipv6Address v6;
    std::memcpy(v6.bytes.data(), &in6.sin6_addr, v6.bytes.size());
    v6.port = port;
    v6.flow_info = in6.sin6_flowinfo;
    v6.scope_id = in6.sin6_scope_id;
    return v6;
  }
  return std::nullopt;
}

}  // namespace

std::vector<SocketAddress> addresses_from_entries(const addrinfo* entries, std::uint16_t port) {
  std::vector<SocketAddress> addresses;
  for (const addrinfo* entry = entries; entry != nullptr; entry = entry->ai_next) {
    if (std::optional<SocketAddress> address = from_entry(*entry, port)) {
      addresses.push_back(*address);
    }
  }
  return addresses;
}

}  // namespace fc
