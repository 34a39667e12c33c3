// The receiver's frame reading, fed arbitrary bytes in arbitrary pieces from
// several peers, with an arbitrary budget: it prints exactly the lines that a
// plain reading of the format gives (every complete frame within the limit
// once, in each peer's order, the frames after a refused length not at all),
// never holds more than the budget, and gives it all back.
//
// The input drives it: a byte for the number of peers, one for the read size
// (the longest short frame), one for the budget in pages; then steps, each a
// byte naming a peer and what happens: a frame's prefix for a length given
// by the next byte, raw bytes (as many as the next byte says, taken from the
// input), the end of its stream, or a round in which every peer with news
// takes a turn, as the server would wake it, or one peer takes a turn without
// news, as the server does when the system's buffer for it is full.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "receiver/frame_buffer.h"
#include "receiver/frame_reader.h"
#include "receiver/line_output.h"

namespace {

using namespace fc;
using namespace fc::receiver;

// One peer's bytes as the system would hold them.
class FakeInput final : public PeerInput {
 public:
  Result<std::size_t> peek(std::span<std::uint8_t> buffer) override { return copy(buffer, false); }
  Result<std::size_t> receive(std::span<std::uint8_t> buffer) override {
    return copy(buffer, true);
  }
  Result<std::size_t> discard(std::span<std::uint8_t> scratch) override {
    return copy(scratch, true);
  }
  Result<std::size_t> waiting() override { return queued.size(); }

  std::deque<std::uint8_t> queued;
  std::string sent;  // all it ever sent
  bool ended = false;

 private:
  Result<std::size_t> copy(std::span<std::uint8_t> buffer, bool take) {
    std::size_t count = std::min(buffer.size(), queued.size());
    if (count == 0 && !buffer.empty() && !ended) {
      return std::unexpected(IoError::from_kind(ErrorKind::WouldBlock));
    }
    std::copy_n(queued.begin(), count, buffer.begin());
    if (take) queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
  }
};

struct Peer {
  PeerFrames frames;
  FakeInput input;
  std::string printed;
  bool open = true;
  bool end_told = false;  // a waiting frame's end was looked at
};

// Standard output: the lines go to the peer whose turn it is.
class Capture final : public OutputDevice {
 public:
  Result<std::size_t> write_some(std::string_view bytes) override {
    current->append(bytes);
    return bytes.size();
  }
  std::string* current = nullptr;
};

class Events final : public ReaderEvents {
 public:
  explicit Events(std::vector<std::unique_ptr<Peer>>& peers) : peers_(peers) {}
  void fault(const PeerFrames&, std::string_view) override {}
  void granted(PeerFrames&) override {}
  void lost(PeerFrames& frames) override { close(find(frames)); }
  void set(FrameReader& reader) { reader_ = &reader; }

  void close(Peer& peer) {
    if (!peer.open) return;
    peer.open = false;
    reader_->drop(peer.frames);
  }

 private:
  Peer& find(const PeerFrames& frames) {
    for (auto& peer : peers_) {
      if (&peer->frames == &frames) return *peer;
    }
    std::abort();
  }

  std::vector<std::unique_ptr<Peer>>& peers_;
  FrameReader* reader_ = nullptr;
};

std::string shown(std::string_view payload) {
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

// The lines a plain reading of one peer's stream gives.
std::string expected_lines(std::string_view sent, std::uint32_t frame_limit) {
  std::string lines;
  while (sent.size() >= 4) {
    auto length = (std::uint32_t{static_cast<std::uint8_t>(sent[0])} << 24) |
                  (std::uint32_t{static_cast<std::uint8_t>(sent[1])} << 16) |
                  (std::uint32_t{static_cast<std::uint8_t>(sent[2])} << 8) |
                  std::uint32_t{static_cast<std::uint8_t>(sent[3])};
    if (length > frame_limit || sent.size() - 4 < length) break;
    lines += shown(sent.substr(4, length));
    sent.remove_prefix(4 + length);
  }
  return lines;
}

// Whether the peer has news, as the server's wait would tell.
bool has_news(const Peer& peer) {
  const FakeInput& input = peer.input;
  switch (peer.frames.stage) {
    case Stage::kBetween: return input.ended || input.queued.size() >= peer.frames.wanted;
    case Stage::kPayload: return input.ended || !input.queued.empty();
    case Stage::kWaiting: return input.ended && !peer.end_told;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (size < 3) return 0;
  std::size_t next = 3;
  auto byte = [&]() -> std::uint8_t { return next < size ? data[next++] : 0; };

  std::size_t peer_count = 1 + data[0] % 4;
  std::size_t read_size = 5 + data[1] % 40;
  std::size_t budget = (data[2] % 4) * page_size();
  ReaderLimits limits{read_size, budget,
                      static_cast<std::uint32_t>(std::min<std::size_t>(budget, 1 << 24))};

  std::vector<std::unique_ptr<Peer>> peers;
  for (std::size_t i = 0; i < peer_count; ++i) {
    peers.push_back(std::make_unique<Peer>());
    peers.back()->frames.number = i + 1;
  }
  Capture capture;
  Events events(peers);
  LineOutput output(capture);
  FrameReader reader(limits, output, events);
  events.set(reader);

  // A turn for one peer.
  auto take = [&](Peer& peer) {
    capture.current = &peer.printed;
    bool waiting = peer.frames.stage == Stage::kWaiting;
    StreamEnd end = peer.input.ended ? StreamEnd::kClean : StreamEnd::kOpen;
    Turn turn = reader.take(peer.frames, peer.input, end);
    if (turn == Turn::kEnded) events.close(peer);
    if (waiting && turn == Turn::kNothing) peer.end_told = true;
    fuzz_check(reader.room_held() <= budget, "frames hold no more than the budget", text);
  };
  // A round: every open peer with news takes a turn. Whether any did.
  auto round = [&] {
    bool any = false;
    for (auto& peer : peers) {
      if (!peer->open || !has_news(*peer)) continue;
      any = true;
      take(*peer);
    }
    return any;
  };
  // A turn without news, as when the system's buffer for a connection is
  // full before a short frame is whole.
  auto wake = [&](Peer& peer) {
    if (peer.open && peer.frames.stage != Stage::kWaiting) take(peer);
  };

  while (next < size) {
    std::uint8_t step = byte();
    Peer& peer = *peers[step % peer_count];
    if (peer.input.ended) continue;
    std::string bytes;
    switch (step / peer_count % 5) {
      case 0: bytes = {'\0', '\0', '\0', static_cast<char>(byte())}; break;
      case 1: {
        std::size_t count = std::min<std::size_t>(byte() % 64, size - next);
        bytes = text.substr(next, count);
        next += count;
        break;
      }
      case 2: peer.input.ended = true; break;
      case 3: round(); break;
      default: wake(peer); break;
    }
    peer.input.sent += bytes;
    if (peer.open) peer.input.queued.insert(peer.input.queued.end(), bytes.begin(), bytes.end());
  }
  for (auto& peer : peers) peer->input.ended = true;
  while (round()) {
  }

  for (auto& peer : peers) {
    fuzz_check(!peer->open, "every connection ends once every stream has", text);
    fuzz_check(peer->printed == expected_lines(peer->input.sent, limits.frame_limit),
               "each peer's complete frames are printed once, in order", text);
  }
  fuzz_check(reader.room_held() == 0, "all the room is given back", text);
  return 0;
}
