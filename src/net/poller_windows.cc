// WSAPoll over every socket watched. Winsock has no low water for input,
// so a socket whose bytes fall short of it rests a moment before it is
// looked at again, rather than being reported ready at every wait.

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <unordered_map>
#include <vector>

#include "net/poller.h"

namespace fc {
namespace {

using Clock = std::chrono::steady_clock;

// How long a socket with too few bytes rests.
constexpr auto kRest = std::chrono::milliseconds(10);

SOCKET native(NativeSocket socket) { return static_cast<SOCKET>(socket); }

struct Entry {
  NativeSocket socket;
  Watch what;
  std::uint64_t token;
  std::size_t low_water;
  Clock::time_point rest_until;
};

}  // namespace

struct Poller::State {
  std::vector<Entry> entries;
  std::unordered_map<NativeSocket, std::size_t> index;  // of each socket's entry
  std::vector<WSAPOLLFD> polled;
  std::vector<std::size_t> polled_entries;
  std::vector<PollEvent> events;
};

Poller::Poller(std::unique_ptr<State> state) : state_(std::move(state)) {}
Poller::Poller(Poller&& other) noexcept = default;
Poller& Poller::operator=(Poller&& other) noexcept = default;
Poller::~Poller() = default;

Result<Poller> Poller::open() { return Poller(std::make_unique<State>()); }

Status Poller::add(NativeSocket socket, Watch what, std::uint64_t token) {
  state_->index[socket] = state_->entries.size();
  state_->entries.push_back({socket, what, token, 1, {}});
  return {};
}

Status Poller::change(NativeSocket socket, Watch what, std::uint64_t token) {
  Entry& entry = state_->entries[state_->index.at(socket)];
  entry.what = what;
  entry.token = token;
  return {};
}

Result<std::size_t> Poller::expect(NativeSocket socket, std::size_t low_water) {
  auto place = state_->index.find(socket);
  if (place != state_->index.end()) {
    state_->entries[place->second].low_water = low_water;
    state_->entries[place->second].rest_until = {};
  }
  return low_water;
}

void Poller::forget(NativeSocket socket) {
  auto place = state_->index.find(socket);
  if (place == state_->index.end()) return;
  std::size_t at = place->second;
  state_->index.erase(place);
  if (at + 1 != state_->entries.size()) {
    state_->entries[at] = state_->entries.back();
    state_->index[state_->entries[at].socket] = at;
  }
  state_->entries.pop_back();
}

Result<std::span<const PollEvent>> Poller::wait(int milliseconds) {
  State& s = *state_;
  Clock::time_point now = Clock::now();
  s.polled.clear();
  s.polled_entries.clear();
  s.events.clear();
  bool resting = false;
  for (std::size_t i = 0; i < s.entries.size(); ++i) {
    const Entry& entry = s.entries[i];
    // A graceful end cannot be told apart from the rest of a connection's
    // news here, so a socket watched only for its failure is not polled.
    if (entry.what == Watch::kFailure) continue;
    bool rests = entry.rest_until > now;
    resting = resting || rests;
    SHORT events = entry.what == Watch::kInput && !rests ? POLLRDNORM : 0;
    s.polled.push_back({native(entry.socket), events, 0});
    s.polled_entries.push_back(i);
  }
  if (resting && (milliseconds < 0 || milliseconds > 10)) milliseconds = 10;
  if (s.polled.empty()) {  // WSAPoll refuses an empty set
    Sleep(static_cast<DWORD>(std::max(milliseconds, 0)));
    return std::span<const PollEvent>();
  }
  int ready = WSAPoll(s.polled.data(), static_cast<ULONG>(s.polled.size()), milliseconds);
  if (ready == SOCKET_ERROR) {
    if (WSAGetLastError() == WSAEINTR) {
      return std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
    }
    return std::unexpected(IoError::from_os_code(WSAGetLastError()));
  }
  now = Clock::now();
  for (std::size_t k = 0; k < s.polled.size(); ++k) {
    SHORT got = s.polled[k].revents;
    if (got == 0) continue;
    Entry& entry = s.entries[s.polled_entries[k]];
    bool ended = (got & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    bool input = (got & POLLRDNORM) != 0;
    if (input && !ended && entry.low_water > 1) {
      u_long count = 0;
      if (ioctlsocket(native(entry.socket), FIONREAD, &count) == 0 && count < entry.low_water) {
        entry.rest_until = now + kRest;
        continue;
      }
    }
    // A hang-up may be a reset as well as an end.
    s.events.push_back({entry.token, input, ended, ended});
  }
  return std::span<const PollEvent>(s.events);
}

}  // namespace fc
