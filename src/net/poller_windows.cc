// WSAPoll over every socket watched, made to tell news once, as epoll does
// on Linux. WSAPoll tells of input as long as any waits, and Winsock has no
// low water, so a socket with bytes waiting is not polled for input: it is
// polled for its failure only (a reset is told at once), and the bytes
// waiting (FIONREAD) are looked at now and then, more rarely the longer they
// stay as they are. A socket with none waiting is polled for input, a real
// wait. Input is told when the bytes grow to the low water or past it; after
// its owner's turn, bytes that still reach it are told again, for they may
// have come during the turn.
//
// Nor does Winsock tell what Linux tells below the low water: that the
// system will take no more for the connection (it counts in full each of its
// buffers that holds a byte unread, so a few bytes can fill it), or, under
// wine, that the peer ended the stream while bytes wait unread. So bytes
// short of the low water that stay as they are for a stall are told all the
// same, once; the reader, woken before a frame can be whole, takes them in.

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>
#include <unordered_map>
#include <vector>

#include "net/poller.h"

namespace fc {
namespace {

using Clock = std::chrono::steady_clock;

// The first and the longest pause between two looks at the bytes waiting.
constexpr auto kFirstLook = std::chrono::milliseconds(1);
constexpr auto kLongestPause = std::chrono::milliseconds(100);
// How long too few bytes may stay as they are before they are told.
constexpr auto kStall = std::chrono::milliseconds(20);

SOCKET native(NativeSocket socket) { return static_cast<SOCKET>(socket); }

struct Entry {
  NativeSocket socket = kNoSocket;
  Watch what = Watch::kInput;
  std::uint64_t token = 0;
  std::size_t low_water = 1;
  std::size_t count = 0;        // bytes waiting at the last look
  Clock::time_point since;      // since when they have stayed that many
  Clock::time_point next_look;  // when they are looked at again
  Clock::duration pause = kFirstLook;
  bool stall_told = false;    // the stall of these bytes was told
  bool told = false;          // input was told in the last wait
  bool failure_told = false;  // a hang-up or failure was told
};

// How many bytes wait on the socket; 0 when it cannot say.
std::size_t waiting(const Entry& entry) {
  u_long count = 0;
  if (ioctlsocket(native(entry.socket), FIONREAD, &count) != 0) return 0;
  return count;
}

// Whether the entry's bytes are looked at on a timer rather than waited for.
bool on_timer(const Entry& entry) { return entry.what == Watch::kInput && entry.count > 0; }

}  // namespace

struct Poller::State {
  std::vector<Entry> entries;
  std::unordered_map<NativeSocket, std::size_t> index;  // of each socket's entry
  std::vector<WSAPOLLFD> polled;
  std::vector<std::size_t> polled_entries;
  std::vector<PollEvent> events;

  Entry* find(NativeSocket socket) {
    auto place = index.find(socket);
    return place == index.end() ? nullptr : &entries[place->second];
  }
  // The entry's bytes count from now, as many as wait.
  void restart(Entry& entry, Clock::time_point now) {
    entry.count = waiting(entry);
    entry.since = now;
    entry.next_look = now;
    entry.pause = kFirstLook;
    entry.stall_told = false;
  }
  // Looks at the bytes waiting of an entry on the timer; whether that is
  // news: they reached the low water, or stayed short of it for a stall.
  bool look(Entry& entry, Clock::time_point now) {
    std::size_t count = waiting(entry);
    bool grew = count > entry.count;
    if (count != entry.count) {
      entry.count = count;
      entry.since = now;
      entry.pause = kFirstLook;
      entry.stall_told = false;
    }
    entry.next_look = now + entry.pause;
    entry.pause = std::min<Clock::duration>(entry.pause * 2, kLongestPause);
    if (count == 0) return false;
    if (grew && count >= entry.low_water) return true;
    if (entry.stall_told || count >= entry.low_water || now - entry.since < kStall) return false;
    entry.stall_told = true;
    return true;
  }
};

Poller::Poller(std::unique_ptr<State> state) : state_(std::move(state)) {}
Poller::Poller(Poller&& other) noexcept = default;
Poller& Poller::operator=(Poller&& other) noexcept = default;
Poller::~Poller() = default;

Result<Poller> Poller::open() { return Poller(std::make_unique<State>()); }

Status Poller::add(NativeSocket socket, Watch what, std::uint64_t token) {
  state_->index[socket] = state_->entries.size();
  Entry& entry = state_->entries.emplace_back();
  entry.socket = socket;
  entry.what = what;
  entry.token = token;
  // What waits already is news, as epoll tells it when a socket is added.
  entry.count = 0;
  return {};
}

Status Poller::change(NativeSocket socket, Watch what, std::uint64_t token) {
  Entry* entry = state_->find(socket);
  if (entry == nullptr) return {};
  entry->what = what;
  entry->token = token;
  entry->failure_told = false;
  // What waits by now is news again.
  entry->count = 0;
  return {};
}

// The system holds what its receive buffer takes. What waits by now is news
// again, as Linux tells it when the low water is set.
Result<std::size_t> Poller::expect(NativeSocket socket, std::size_t low_water) {
  Entry* entry = state_->find(socket);
  if (entry != nullptr) {
    entry->low_water = low_water;
    entry->count = 0;
  }
  int buffer = 0;
  int length = sizeof buffer;
  if (getsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&buffer),
                 &length) == SOCKET_ERROR) {
    return std::unexpected(IoError::from_os_code(WSAGetLastError()));
  }
  return std::min(low_water, static_cast<std::size_t>(std::max(buffer, 0)));
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
  // Bytes on the timer are looked at before the wait, which lasts until the
  // next look at most.
  Clock::time_point until =
      milliseconds < 0 ? Clock::time_point::max() : now + std::chrono::milliseconds(milliseconds);
  for (std::size_t i = 0; i < s.entries.size(); ++i) {
    Entry& entry = s.entries[i];
    bool news = false;
    if (std::exchange(entry.told, false) && entry.what == Watch::kInput) {
      s.restart(entry, now);
      news = entry.count > 0 && entry.count >= entry.low_water;
    } else if (on_timer(entry) && entry.next_look <= now) {
      news = s.look(entry, now);
    }
    if (news) {
      entry.told = true;
      s.events.push_back({entry.token, true, false, false});
    }
    if (on_timer(entry)) until = std::min(until, entry.next_look);
    if (entry.failure_told) continue;  // a hang-up is told at every poll
    SHORT events = entry.what == Watch::kInput && entry.count == 0 ? POLLRDNORM : 0;
    s.polled.push_back({native(entry.socket), events, 0});
    s.polled_entries.push_back(i);
  }
  if (!s.events.empty()) until = now;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
  int timeout = until == Clock::time_point::max()
                    ? -1
                    : static_cast<int>(std::clamp<decltype(left)>(left, 0, 86400000));
  if (s.polled.empty()) {  // WSAPoll refuses an empty set
    if (timeout != 0) Sleep(timeout < 0 ? INFINITE : static_cast<DWORD>(timeout));
    return std::span<const PollEvent>(s.events);
  }
  int ready = WSAPoll(s.polled.data(), static_cast<ULONG>(s.polled.size()), timeout);
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
    // A hang-up may be a reset as well as an end: told once.
    if ((got & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      entry.failure_told = true;
      s.events.push_back({entry.token, (got & POLLRDNORM) != 0, true, true});
      continue;
    }
    if ((got & POLLRDNORM) == 0) continue;
    s.restart(entry, now);
    // A listener has no bytes: what it has is a connection to take.
    if (entry.count == 0 || entry.count >= entry.low_water) {
      entry.told = true;
      s.events.push_back({entry.token, true, false, false});
    }
  }
  return std::span<const PollEvent>(s.events);
}

}  // namespace fc
