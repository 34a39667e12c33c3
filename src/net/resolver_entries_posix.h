#ifndef FC_NET_RESOLVER_ENTRIES_POSIX_H_
#define FC_NET_RESOLVER_ENTRIES_POSIX_H_

#include <netdb.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "net/socket_address.h"

namespace fc {

/// Releases a resolver result with freeaddrinfo.
struct FreeResolverEntries {
  void operator()(addrinfo* entries) const { freeaddrinfo(entries); }
};

/// A resolver result, released exactly once when it goes out of scope, also
/// when the walk over it ends abnormally.
using ResolverEntries = std::unique_ptr<addrinfo, FreeResolverEntries>;

/// The IPv4 and IPv6 entries of a resolver result as socket addresses, in the
/// resolver's order, each with `port`; entries of other families are skipped.
/// An entry shorter than its family's structure breaks the resolver's
/// contract and ends the run abnormally.
std::vector<SocketAddress> addresses_from_entries(const addrinfo* entries, std::uint16_t port);

}  // namespace fc

#endif  // FC_NET_RESOLVER_ENTRIES_POSIX_H_
