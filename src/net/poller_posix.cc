// Linux's epoll. SO_RCVLOWAT sets the low water: the kernel then reports
// input only once that many bytes wait, or the stream has ended, and makes
// its receive buffer large enough to hold them.

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>

#include "console/std_streams.h"
#include "net/poller.h"

namespace fc {
namespace {

// The most events one wait hands over; more wait for the next.
constexpr int kBatch = 256;

int fd_of(NativeSocket socket) { return static_cast<int>(socket); }

std::uint32_t events_for(Watch what) {
  switch (what) {
    case Watch::kFailure: return 0;  // EPOLLERR and EPOLLHUP are always told
    case Watch::kEnd: return EPOLLRDHUP;
    case Watch::kInput: break;
  }
  return EPOLLIN | EPOLLRDHUP;
}

}  // namespace

struct Poller::State {
  int fd = -1;
  epoll_event raw[kBatch];
  PollEvent events[kBatch];
};

Poller::Poller(std::unique_ptr<State> state) : state_(std::move(state)) {}
Poller::Poller(Poller&& other) noexcept = default;
Poller& Poller::operator=(Poller&& other) noexcept {
  if (this != &other) {
    if (state_) close(state_->fd);
    state_ = std::move(other.state_);
  }
  return *this;
}
Poller::~Poller() {
  if (state_) close(state_->fd);
}

Result<Poller> Poller::open() {
  int fd = epoll_create1(EPOLL_CLOEXEC);
  if (fd < 0) return std::unexpected(IoError::from_os_code(errno));
  Result<std::uint64_t> kept = clear_of_standard_streams(static_cast<std::uint64_t>(fd));
  if (!kept) return take_error(kept);
  auto state = std::make_unique<State>();
  state->fd = static_cast<int>(*kept);
  return Poller(std::move(state));
}

namespace {

Status control(int poller, int operation, NativeSocket socket, Watch what, std::uint64_t token) {
  epoll_event event{};
  event.events = events_for(what);
  event.data.u64 = token;
  if (epoll_ctl(poller, operation, fd_of(socket), &event) != 0) return IoError::from_os_code(errno);
  return {};
}

}  // namespace

Status Poller::add(NativeSocket socket, Watch what, std::uint64_t token) {
  return control(state_->fd, EPOLL_CTL_ADD, socket, what, token);
}

Status Poller::change(NativeSocket socket, Watch what, std::uint64_t token) {
  return control(state_->fd, EPOLL_CTL_MOD, socket, what, token);
}

Status Poller::expect(NativeSocket socket, std::size_t low_water) {
  int water = static_cast<int>(std::min<std::size_t>(low_water, INT_MAX));
  if (setsockopt(fd_of(socket), SOL_SOCKET, SO_RCVLOWAT, &water, sizeof water) != 0) {
    return IoError::from_os_code(errno);
  }
  return {};
}

// Closing a descriptor that nothing else refers to takes it out of every
// epoll set by itself.
void Poller::forget(NativeSocket) {}

Result<std::span<const PollEvent>> Poller::wait(int milliseconds) {
  int count = epoll_wait(state_->fd, state_->raw, kBatch, milliseconds);
  if (count < 0) {
    if (errno == EINTR) return std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
    return std::unexpected(IoError::from_os_code(errno));
  }
  for (int i = 0; i < count; ++i) {
    std::uint32_t got = state_->raw[i].events;
    state_->events[i] = {state_->raw[i].data.u64, (got & EPOLLIN) != 0,
                         (got & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0,
                         (got & (EPOLLHUP | EPOLLERR)) != 0};
  }
  return std::span<const PollEvent>(state_->events, static_cast<std::size_t>(count));
}

}  // namespace fc
