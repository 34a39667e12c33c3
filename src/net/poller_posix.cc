// Linux's epoll, edge-triggered: a connection is told of once per arrival,
// so one that the system reports readable before its low water (its window
// shrunk to a segment, memory pressure) cannot keep the wait spinning.
// SO_RCVLOWAT sets the low water: the kernel then reports input only once
// that many bytes wait, or the stream has ended, and (from Linux 4.18) makes
// its receive buffer large enough to hold them, up to half its largest.

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>

#include "console/interrupts_posix.h"
#include "console/std_streams.h"
#include "net/poller.h"

namespace fc {
namespace {

// The most events one wait hands over; more wait for the next.
constexpr int kBatch = 256;

int fd_of(NativeSocket socket) { return static_cast<int>(socket); }

std::uint32_t events_for(Watch what) {
  switch (what) {
    case Watch::kFailure: return EPOLLET;  // EPOLLERR and EPOLLHUP are always told
    case Watch::kEnd: return EPOLLRDHUP | EPOLLET;
    case Watch::kInput: break;
  }
  return EPOLLIN | EPOLLRDHUP | EPOLLET;
}

int read_option(int fd, int name) {
  int value = 0;
  socklen_t length = sizeof value;
  if (getsockopt(fd, SOL_SOCKET, name, &value, &length) != 0) return -1;
  return value;
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

// The system holds what its low water says (it may have lowered the low
// water to its own bound) and what half its receive buffer takes: the rest
// of the buffer goes to the bookkeeping of what arrived, and a kernel before
// 4.18 does not grow the buffer for the low water.
Result<std::size_t> Poller::expect(NativeSocket socket, std::size_t low_water) {
  int fd = fd_of(socket);
  int water = static_cast<int>(std::min<std::size_t>(low_water, INT_MAX));
  if (setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &water, sizeof water) != 0) {
    return std::unexpected(IoError::from_os_code(errno));
  }
  int set = read_option(fd, SO_RCVLOWAT);
  int buffer = read_option(fd, SO_RCVBUF);
  if (set < 0 || buffer < 0) return std::unexpected(IoError::from_os_code(errno));
  return std::min(static_cast<std::size_t>(set), static_cast<std::size_t>(buffer) / 2);
}

// Closing a descriptor that nothing else refers to takes it out of every
// epoll set by itself.
void Poller::forget(NativeSocket) {}

Result<std::span<const PollEvent>> Poller::wait(int milliseconds) {
  int count = epoll_pwait(state_->fd, state_->raw, kBatch, milliseconds, wait_signal_mask());
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
