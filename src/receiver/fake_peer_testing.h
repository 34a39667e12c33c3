#ifndef FC_RECEIVER_FAKE_PEER_TESTING_H_
#define FC_RECEIVER_FAKE_PEER_TESTING_H_

// Peers without sockets, for the reader's and the serving loop's tests and
// the fuzz target: bytes sent in chosen pieces, a clean end, a reset, a
// system that holds fewer bytes than asked (its limits set low), and one that
// refuses to wait for them.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/std_streams.h"
#include "receiver/connections.h"
#include "receiver/frame_reader.h"

namespace fc::receiver {

/// One peer's bytes as the system would hold them.
class FakeBytes {
 public:
  void send(std::string_view bytes) {
    sent += bytes;
    queued.insert(queued.end(), bytes.begin(), bytes.end());
  }

  Result<std::size_t> peek(std::span<std::uint8_t> buffer) { return copy(buffer, false); }
  Result<std::size_t> take(std::span<std::uint8_t> buffer) { return copy(buffer, true); }
  /// As the system does, the low water is lowered to what it holds.
  Result<std::size_t> hold(std::size_t bytes) {
    if (hold_fails) return std::unexpected(IoError::from_kind(ErrorKind::OutOfMemory));
    low_water = std::min(bytes, capacity);
    return low_water;
  }
  Status failure() const {
    if (reset) return IoError::from_kind(ErrorKind::ConnectionReset);
    return {};
  }
  /// Whether a wait that watches for input would tell of news: the low
  /// water reached, or the stream over.
  bool readable() const { return ended || reset || queued.size() >= low_water; }

  std::deque<std::uint8_t> queued;
  std::string sent;  ///< all it ever sent
  bool ended = false;
  bool reset = false;
  std::size_t capacity = SIZE_MAX;  ///< the most the system holds
  std::size_t low_water = 1;
  bool hold_fails = false;  ///< the system refuses any low water

 private:
  // Queued bytes come before the end, and before a reset's error.
  Result<std::size_t> copy(std::span<std::uint8_t> buffer, bool take) {
    std::size_t count = std::min(buffer.size(), queued.size());
    if (count == 0 && !buffer.empty()) {
      if (reset) return std::unexpected(IoError::from_kind(ErrorKind::ConnectionReset));
      if (!ended) return std::unexpected(IoError::from_kind(ErrorKind::WouldBlock));
    }
    std::copy_n(queued.begin(), count, buffer.begin());
    if (take) queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
  }
};

/// A peer for the reader alone: the link records what the reader tells it.
class FakePeer final : public PeerLink {
 public:
  Result<std::size_t> peek(std::span<std::uint8_t> buffer) override { return bytes.peek(buffer); }
  Result<std::size_t> receive(std::span<std::uint8_t> buffer) override {
    return bytes.take(buffer);
  }
  Result<std::size_t> discard(std::span<std::uint8_t> scratch) override {
    return bytes.take(scratch);
  }
  Result<std::size_t> waiting() override { return bytes.queued.size(); }
  Result<std::size_t> hold(std::size_t count) override { return bytes.hold(count); }
  Status failure() override { return bytes.failure(); }
  void fault(std::string_view what) override { faults.emplace_back(what); }
  void granted(bool without_memory) override {
    ++grants;
    lost = lost || without_memory;
  }
  const PeerName& name() const override { return peer_name; }

  FakeBytes bytes;
  PeerName peer_name{1, "192.0.2.1:1"};
  PeerFrames frames{*this};
  std::vector<std::string> faults;
  int grants = 0;
  bool lost = false;
};

/// A socket for the serving loop: the test keeps the bytes and sees what the
/// wait is asked to watch, and whether the socket was closed.
class FakeSocket final : public PeerSocket {
 public:
  struct State {
    FakeBytes bytes;
    Watch watch = Watch::kInput;
    std::uint64_t token = 0;
    bool closed = false;
  };

  explicit FakeSocket(std::shared_ptr<State> state) : state_(std::move(state)) {}
  ~FakeSocket() override { state_->closed = true; }

  Result<std::size_t> peek(std::span<std::uint8_t> buffer) override {
    return state_->bytes.peek(buffer);
  }
  Result<std::size_t> receive(std::span<std::uint8_t> buffer) override {
    return state_->bytes.take(buffer);
  }
  Result<std::size_t> discard(std::span<std::uint8_t> scratch) override {
    return state_->bytes.take(scratch);
  }
  Result<std::size_t> waiting() override { return state_->bytes.queued.size(); }
  Result<std::size_t> hold(std::size_t bytes) override { return state_->bytes.hold(bytes); }
  Status failure() override { return state_->bytes.failure(); }
  Status watch(Watch what, std::uint64_t token) override {
    state_->watch = what;
    state_->token = token;
    return {};
  }

 private:
  std::shared_ptr<State> state_;
};

/// Standard output, captured.
class CapturedOutput final : public OutputDevice {
 public:
  Result<std::size_t> write_some(std::string_view bytes) override {
    text.append(bytes);
    return bytes.size();
  }
  std::string text;
};

/// A payload as frame-sink prints it: its line, control bytes escaped.
inline std::string shown_line(std::string_view payload) {
  std::string line;
  for (unsigned char byte : payload) {
    const char* escapes[] = {"\\b", "\\t", "\\n", nullptr, "\\f", "\\r"};
    if (byte >= 8 && byte <= 13 && escapes[byte - 8] != nullptr) {
      line += escapes[byte - 8];
    } else if (byte < 0x20 || byte == 0x7f) {
      const char hex[] = "0123456789abcdef";
      line += "\\u00";
      line += hex[byte >> 4];
      line += hex[byte & 15];
    } else {
      line += static_cast<char>(byte);
    }
  }
  return line + "\n";
}

/// A frame: its 4-byte big-endian length, then the payload.
inline std::string framed(std::string_view payload) {
  auto length = static_cast<std::uint32_t>(payload.size());
  std::string frame{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                    static_cast<char>(length >> 8), static_cast<char>(length)};
  return frame + std::string(payload);
}

}  // namespace fc::receiver

#endif  // FC_RECEIVER_FAKE_PEER_TESTING_H_
