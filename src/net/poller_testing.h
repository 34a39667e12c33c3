#ifndef FC_NET_POLLER_TESTING_H_
#define FC_NET_POLLER_TESTING_H_

#include "net/poller.h"

namespace fc {

/// Whether the socket has input (or a connection, or its end) within
/// `milliseconds`: a wait on that socket alone, for tests.
inline bool readable_within(NativeSocket socket, int milliseconds) {
  Result<Poller> poller = Poller::open();
  if (!poller || !poller->add(socket, Watch::kInput, 0).ok()) return false;
  Result<std::span<const PollEvent>> events = poller->wait(milliseconds);
  poller->forget(socket);
  return events && !events->empty();
}

}  // namespace fc

#endif  // FC_NET_POLLER_TESTING_H_
