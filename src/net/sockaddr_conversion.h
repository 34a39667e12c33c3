#ifndef FC_NET_SOCKADDR_CONVERSION_H_
#define FC_NET_SOCKADDR_CONVERSION_H_

// Conversions between SocketAddress and the system's address structures.
// sockaddr_in, sockaddr_in6 and addrinfo have the same fields on POSIX and
// on Windows, so one text serves both socket layers. Include it after the
// platform's own socket headers; it includes none itself.

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "console/panic.h"
#include "net/socket_address.h"

namespace fc {

/// The system structure for connect(); every byte not set is zero.
struct SystemAddress {
  sockaddr_storage storage;
  int length = 0;
};

inline SystemAddress to_system_address(const SocketAddress& address) {
  SystemAddress system;
  std::memset(&system.storage, 0, sizeof system.storage);
  if (const auto* v4 = std::get_if<Ipv4Address>(&address)) {
    auto* in = reinterpret_cast<sockaddr_in*>(&system.storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(v4->port);
    std::memcpy(&in->sin_addr, v4->bytes.data(), v4->bytes.size());
    system.length = sizeof(sockaddr_in);
  } else {
    const auto& v6 = std::get<Ipv6Address>(address);
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&system.storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(v6.port);
    in6->sin6_flowinfo = v6.flow_info;
    std::memcpy(&in6->sin6_addr, v6.bytes.data(), v6.bytes.size());
    in6->sin6_scope_id = v6.scope_id;
    system.length = sizeof(sockaddr_in6);
  }
  return system;
}

/// A socket address the system filled in (getsockname, getpeername);
/// nothing for families other than IPv4 and IPv6.
inline std::optional<SocketAddress> from_system_address(const sockaddr_storage& storage) {
  if (storage.ss_family == AF_INET) {
    sockaddr_in in;
    std::memcpy(&in, &storage, sizeof in);
    Ipv4Address v4;
    std::memcpy(v4.bytes.data(), &in.sin_addr, v4.bytes.size());
    v4.port = ntohs(in.sin_port);
    return v4;
  }
  if (storage.ss_family == AF_INET6) {
    sockaddr_in6 in6;
    std::memcpy(&in6, &storage, sizeof in6);
    Ipv6Address v6;
    std::memcpy(v6.bytes.data(), &in6.sin6_addr, v6.bytes.size());
    v6.port = ntohs(in6.sin6_port);
    v6.flow_info = in6.sin6_flowinfo;
    v6.scope_id = in6.sin6_scope_id;
    return v6;
  }
  return std::nullopt;
}

/// One resolver entry as a socket address with `port`; nothing for families
/// other than IPv4 and IPv6. Entries are copied out with memcpy, as ai_addr
/// need not be aligned for its structure. An entry shorter than its family's
/// structure breaks the resolver's contract and ends the run abnormally.
inline std::optional<SocketAddress> from_resolver_entry(const addrinfo& entry, std::uint16_t port) {
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

/// The IPv4 and IPv6 entries of a resolver result as socket addresses, in the
/// resolver's order, each with `port`.
inline std::vector<SocketAddress> addresses_from_entries(const addrinfo* entries,
                                                         std::uint16_t port) {
  std::vector<SocketAddress> addresses;
  for (const addrinfo* entry = entries; entry != nullptr; entry = entry->ai_next) {
    if (std::optional<SocketAddress> address = from_resolver_entry(*entry, port)) {
      addresses.push_back(*address);
    }
  }
  return addresses;
}

/// Releases a resolver result with freeaddrinfo.
struct FreeResolverEntries {
  void operator()(addrinfo* entries) const { freeaddrinfo(entries); }
};

/// A resolver result, released exactly once when it goes out of scope, also
/// when the walk over it ends abnormally.
using ResolverEntries = std::unique_ptr<addrinfo, FreeResolverEntries>;

}  // namespace fc

#endif  // FC_NET_SOCKADDR_CONVERSION_H_
