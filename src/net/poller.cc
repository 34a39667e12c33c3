#include "net/poller.h"

namespace fc {

bool readable_within(NativeSocket socket, int milliseconds) {
  Result<Poller> poller = Poller::open();
  if (!poller || !poller->add(socket, Watch::kInput, 0).ok()) return false;
  Result<std::span<const PollEvent>> events = poller->wait(milliseconds);
  poller->forget(socket);
  return events && !events->empty();
}

}  // namespace fc
