// The receiver's frame reading, fed arbitrary bytes in arbitrary pieces from
// several peers, with an arbitrary budget: it prints exactly the lines that a
// plain reading of the format gives (every complete frame within the limit
// once, in each peer's order, the frames after a refused length not at all),
// never holds more than the budget, and gives it all back.
//
// The input drives it: a byte for the number of peers, one for the read size
// (the longest short frame), one for the budget in pages, one for what the
// system holds of a connection (at times less than a frame) and whether room
// may be lent beyond the budget, as at a stop; then steps, each a
// byte naming a peer and what happens: a frame's prefix for a length given
// by the next byte, raw bytes (as many as the next byte says, taken from the
// input), the end of its stream, or a round in which every peer with news
// takes a turn, as the server would wake it, or one peer takes a turn without
// news, as when the system wakes the reader early.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "receiver/fake_peer_testing.h"
#include "receiver/frame_buffer.h"
#include "receiver/frame_reader.h"
#include "receiver/line_output.h"

namespace {

using namespace fc;
using namespace fc::receiver;

struct Peer {
  FakePeer link;
  std::string printed;
  bool open = true;
  bool again = false;     // its last turn left bytes waiting, or it got its room
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

// The lines a plain reading of one peer's stream gives.
std::string expected_lines(std::string_view sent, std::uint32_t frame_limit) {
  std::string lines;
  while (sent.size() >= 4) {
    auto length = (std::uint32_t{static_cast<std::uint8_t>(sent[0])} << 24) |
                  (std::uint32_t{static_cast<std::uint8_t>(sent[1])} << 16) |
                  (std::uint32_t{static_cast<std::uint8_t>(sent[2])} << 8) |
                  std::uint32_t{static_cast<std::uint8_t>(sent[3])};
    if (length > frame_limit || sent.size() - 4 < length) break;
    lines += shown_line(sent.substr(4, length));
    sent.remove_prefix(4 + length);
  }
  return lines;
}

// Whether the peer has news, as the server's wait would tell.
bool has_news(const Peer& peer) {
  if (peer.again) return true;
  const FakeBytes& bytes = peer.link.bytes;
  if (peer.link.frames.state() != FrameState::kWaiting) return bytes.readable();
  return bytes.ended && !peer.end_told;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (size < 4) return 0;
  std::size_t next = 4;
  auto byte = [&]() -> std::uint8_t { return next < size ? data[next++] : 0; };

  std::size_t peer_count = 1 + data[0] % 4;
  std::size_t read_size = 5 + data[1] % 40;
  std::size_t budget = (data[2] % 4) * page_size();
  // What the system holds of a connection: at times less than a short frame.
  std::size_t capacity = data[3] % 2 == 0 ? SIZE_MAX : 4 + data[3] % 40;
  ReaderLimits limits{read_size, budget,
                      static_cast<std::uint32_t>(std::min<std::size_t>(budget, 1 << 24))};

  std::vector<std::unique_ptr<Peer>> peers;
  for (std::size_t i = 0; i < peer_count; ++i) {
    peers.push_back(std::make_unique<Peer>());
    peers.back()->link.bytes.capacity = capacity;
  }
  Capture capture;
  LineOutput output(capture);
  Printer printer(Format::kPlain, output);
  FrameReader reader(limits, printer);
  // As at a stop: a frame whose payload has all come may be lent room.
  if (data[3] >= 0x80) reader.lend();

  auto close = [&](Peer& peer) {
    if (!peer.open) return;
    peer.open = false;
    reader.drop(peer.link.frames);
  };
  // Grants come outside a peer's turn: such a peer is looked at again, and
  // one whose room could not be given is closed.
  auto settle_grants = [&] {
    for (auto& peer : peers) {
      if (peer->link.grants == 0) continue;
      peer->link.grants = 0;
      if (peer->link.lost) {
        close(*peer);
      } else {
        peer->again = true;
      }
    }
  };
  // A turn for one peer.
  auto take = [&](Peer& peer) {
    capture.current = &peer.printed;
    bool waiting = peer.link.frames.state() == FrameState::kWaiting;
    FakeBytes& bytes = peer.link.bytes;
    StreamEnd end = bytes.reset   ? StreamEnd::kUnclear
                    : bytes.ended ? StreamEnd::kClean
                                  : StreamEnd::kOpen;
    Wants wants = reader.take(peer.link.frames, end);
    peer.again = wants.more;
    if (wants.turn == Turn::kEnded) close(peer);
    if (waiting && wants.turn == Turn::kNothing && end != StreamEnd::kOpen) peer.end_told = true;
    settle_grants();
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
  // A turn without news, as when the system wakes the reader early (its
  // window shrunk, memory pressure): it must change nothing it has not seen.
  auto wake = [&](Peer& peer) {
    if (peer.open) take(peer);
  };

  while (next < size) {
    std::uint8_t step = byte();
    Peer& peer = *peers[step % peer_count];
    if (peer.link.bytes.ended) continue;
    std::string bytes;
    switch (step / peer_count % 5) {
      case 0: bytes = {'\0', '\0', '\0', static_cast<char>(byte())}; break;
      case 1: {
        std::size_t count = std::min<std::size_t>(byte() % 64, size - next);
        bytes = text.substr(next, count);
        next += count;
        break;
      }
      case 2: peer.link.bytes.ended = true; break;
      case 3: round(); break;
      default: wake(peer); break;
    }
    if (peer.open) {
      peer.link.bytes.send(bytes);
    } else {
      peer.link.bytes.sent += bytes;
    }
  }
  for (auto& peer : peers) peer->link.bytes.ended = true;
  while (round()) {
  }

  for (auto& peer : peers) {
    fuzz_check(!peer->open, "every connection ends once every stream has", text);
    fuzz_check(peer->printed == expected_lines(peer->link.bytes.sent, limits.frame_limit),
               "each peer's complete frames are printed once, in order", text);
  }
  fuzz_check(reader.room_held() == 0, "all the room is given back", text);
  return 0;
}
