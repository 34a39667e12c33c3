#include "receiver/frame_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "json/frame_prefix.h"

namespace fc::receiver {
namespace {

constexpr std::size_t kPrefixSize = 4;

bool retry_later(const IoError& error) {
  return error.is_interrupted() || error.kind() == ErrorKind::WouldBlock;
}

// Counts bytes taken against the limit a stop set.
void count_taken(PeerFrames& peer, std::size_t count) {
  if (peer.read_limit != kNoReadLimit) peer.read_limit -= count;
}

}  // namespace

FrameReader::FrameReader(const ReaderLimits& limits, LineOutput& output, ReaderEvents& events)
    : limits_(limits),
      output_(output),
      events_(events),
      room_left_(limits.budget),
      chunk_(new std::uint8_t[limits.read_size]) {}

Turn FrameReader::take(PeerFrames& peer, PeerInput& input, StreamEnd end) {
  bool waited = peer.stage == Stage::kWaiting;
  Turn turn = Turn::kNothing;
  switch (peer.stage) {
    case Stage::kBetween: turn = take_short(peer, input, end); break;
    case Stage::kPayload: return take_payload(peer, input);
    case Stage::kWaiting: break;
  }
  // A waiting frame whose stream has ended, even in this turn, is looked at
  // at once: it is dropped if it cannot complete.
  if (turn == Turn::kEnded || peer.stage != Stage::kWaiting || end == StreamEnd::kOpen) return turn;
  if (look_at_waiting(peer, input) == Turn::kEnded) return Turn::kEnded;
  return waited ? Turn::kNothing : turn;
}

// Prints every frame that is whole in what waits, up to one read's worth. A
// short frame that is not whole yet stays with the system, but for a prefix
// cut short, which is taken in; a long one is taken in with its room, or
// waits for it.
Turn FrameReader::take_short(PeerFrames& peer, PeerInput& input, StreamEnd end) {
  bool ended = end != StreamEnd::kOpen;
  std::size_t carried = peer.carried;
  std::memcpy(chunk_.get(), peer.carry.data(), carried);
  std::size_t asked = std::min(limits_.read_size - carried, peer.read_limit);
  Result<std::size_t> got = input.peek({chunk_.get() + carried, asked});
  if (!got) return read_failed(peer, got.error());
  if (*got == 0) {
    report_unfinished(peer, "stream ended");
    return Turn::kEnded;
  }
  bool heard = *got > peer.held;
  // Nothing more can come for now once all that waits was seen; nothing more
  // at all once the stream has ended too, or a stop set the limit there.
  bool all_seen = *got < asked || *got == peer.read_limit;
  std::span<const std::uint8_t> bytes(chunk_.get(), carried + *got);
  std::size_t used = 0;
  while (bytes.size() - used >= kPrefixSize) {
    std::uint32_t length = payload_length(bytes.subspan(used).first<kPrefixSize>());
    if (length > limits_.frame_limit) {
      peer.seen = 0;
      if (!take_up_to(peer, input, used)) return Turn::kEnded;
      ++peer.frames_done;
      fault(peer, "frame length " + std::to_string(length) + " exceeds the limit of " +
                      std::to_string(limits_.frame_limit) + " bytes");
      return Turn::kEnded;
    }
    std::size_t whole = kPrefixSize + length;
    if (whole > bytes.size() - used) {
      if (whole > limits_.read_size) return begin_long(peer, input, bytes.subspan(used), used);
      break;
    }
    if (!print(peer, bytes.subspan(used + kPrefixSize, length))) return Turn::kEnded;
    ++peer.frames_done;
    used += whole;
  }
  std::span<const std::uint8_t> rest = bytes.subspan(used);
  // Every frame its peer sent before ending the stream is printed.
  if (rest.empty() && all_seen && end == StreamEnd::kClean) {
    peer.seen = 0;
    if (!take_up_to(peer, input, used)) return Turn::kEnded;
    return flushed(peer, Turn::kEnded);
  }
  peer.seen = rest.size();
  if (rest.size() >= kPrefixSize) peer.length = payload_length(rest.first<kPrefixSize>());
  if (!rest.empty() && all_seen && (ended || peer.read_limit != kNoReadLimit)) {
    return end_inside(peer, input, bytes.size(), ended);
  }
  if (rest.size() < kPrefixSize) {
    std::array<std::uint8_t, 3> cut{};
    std::memcpy(cut.data(), rest.data(), rest.size());
    if (!take_up_to(peer, input, bytes.size())) return Turn::kEnded;
    peer.carry = cut;
    peer.carried = rest.size();
    peer.held = 0;
    peer.wanted = 1;
    return flushed(peer, heard ? Turn::kHeard : Turn::kNothing);
  }
  // Woken with nothing new, the frame not whole: the system's buffer for the
  // connection is full (Linux counts in full each of its buffers that holds
  // a byte unread). The frame is taken in as a long one, so that the rest
  // can come.
  if (!heard && all_seen && !ended) return begin_long(peer, input, rest, used);
  if (!take_up_to(peer, input, used)) return Turn::kEnded;
  peer.held = rest.size() - peer.carried;
  // Woken again once the frame can be whole, when all that waited was seen.
  peer.wanted = all_seen ? kPrefixSize + peer.length - peer.carried : 1;
  return flushed(peer, heard ? Turn::kHeard : Turn::kNothing);
}

// The stream ends inside the frame under way, whose bytes up to `position`
// in the chunk were seen: it ended, or a stop set the limit there.
Turn FrameReader::end_inside(PeerFrames& peer, PeerInput& input, std::size_t position, bool ended) {
  if (ended) {
    // A failure behind the last bytes tells more than the end.
    if (!take_up_to(peer, input, position)) return Turn::kEnded;
    std::uint8_t probe;
    if (Result<std::size_t> after = input.peek({&probe, 1}); !after) {
      return read_failed(peer, after.error());
    }
  }
  report_unfinished(peer, ended ? "stream ended" : "stopped");
  return Turn::kEnded;
}

// `rest` starts with the prefix of a long frame, at `position` in the chunk.
Turn FrameReader::begin_long(PeerFrames& peer, PeerInput& input, std::span<const std::uint8_t> rest,
                             std::size_t position) {
  peer.length = payload_length(rest.first<kPrefixSize>());
  std::size_t room = room_for(peer.length);
  peer.wanted = 1;
  peer.held = 0;
  if (!waiting_.empty() || room > room_left_) {
    // Only the prefix is taken: the payload stays with the system.
    peer.seen = 0;
    if (!take_up_to(peer, input, position + kPrefixSize)) return Turn::kEnded;
    peer.stage = Stage::kWaiting;
    peer.seen = kPrefixSize;
    peer.place = waiting_.insert(waiting_.end(), &peer);
    return flushed(peer, Turn::kHeard);
  }
  std::span<const std::uint8_t> payload = rest.subspan(kPrefixSize);
  peer.seen = kPrefixSize + payload.size();
  if (!give_room(peer, room)) return Turn::kEnded;
  std::memcpy(peer.buffer.bytes().data(), payload.data(), payload.size());
  peer.stage = Stage::kPayload;
  if (!take_up_to(peer, input, position + rest.size())) return Turn::kEnded;
  return flushed(peer, Turn::kHeard);
}

// More of a long frame's payload; printed, and its room given back, once
// whole.
Turn FrameReader::take_payload(PeerFrames& peer, PeerInput& input) {
  std::size_t have = peer.seen - kPrefixSize;
  std::span<std::uint8_t> free = peer.buffer.bytes().subspan(have);
  Result<std::size_t> got = input.receive(free.first(std::min(free.size(), peer.read_limit)));
  if (!got) return read_failed(peer, got.error());
  if (*got == 0) {
    report_unfinished(peer, "stream ended");
    return Turn::kEnded;
  }
  peer.seen += *got;
  count_taken(peer, *got);
  if (*got < free.size()) return Turn::kHeard;
  bool printed = print(peer, peer.buffer.bytes());
  ++peer.frames_done;
  release(peer);
  grant_waiting();
  if (!printed) return Turn::kEnded;
  return flushed(peer, Turn::kHeard);
}

// The stream of a waiting frame ended, or failed: the frame still completes
// if its whole payload waits with the system.
Turn FrameReader::look_at_waiting(PeerFrames& peer, PeerInput& input) {
  Result<std::size_t> waiting = input.waiting();
  if (waiting && *waiting >= peer.length) return Turn::kNothing;
  std::uint8_t probe;
  if (Result<std::size_t> got = input.peek({&probe, 1}); !got)
    return read_failed(peer, got.error());
  peer.seen = kPrefixSize + waiting.value_or(0);
  report_unfinished(peer, "stream ended");
  return Turn::kEnded;
}

void FrameReader::drop(PeerFrames& peer) {
  release(peer);
  grant_waiting();
}

void FrameReader::report_unfinished(const PeerFrames& peer, std::string_view how) {
  std::string where = position(peer);
  if (!where.empty()) fault(peer, std::string(how) + " " + where);
}

std::string FrameReader::position(const PeerFrames& peer) {
  if (!peer.inside_frame()) return "";
  if (peer.seen < kPrefixSize) {
    return "inside a length prefix after " + std::to_string(peer.seen) + " of 4 bytes";
  }
  return "inside a payload after " + std::to_string(peer.seen - kPrefixSize) + " of " +
         std::to_string(peer.length) + " bytes";
}

bool FrameReader::give_room(PeerFrames& peer, std::size_t room) {
  Result<FrameBuffer> buffer = FrameBuffer::map(peer.length);
  if (!buffer) {
    fault(peer, "no memory for a frame of " + std::to_string(peer.length) +
                    " bytes: " + display_text(buffer.error()));
    return false;
  }
  peer.buffer = std::move(*buffer);
  peer.room = room;
  room_left_ -= room;
  return true;
}

void FrameReader::release(PeerFrames& peer) {
  if (peer.stage == Stage::kWaiting) waiting_.erase(peer.place);
  room_left_ += std::exchange(peer.room, 0);
  peer.buffer.reset();
  peer.stage = Stage::kBetween;
  peer.seen = 0;
  peer.held = 0;
  peer.carried = 0;
  peer.wanted = 1;
}

// Gives waiting frames their room, in the order they came, while it lasts.
void FrameReader::grant_waiting() {
  while (!waiting_.empty()) {
    PeerFrames& first = *waiting_.front();
    std::size_t room = room_for(first.length);
    if (room > room_left_) return;
    waiting_.pop_front();
    first.stage = Stage::kPayload;
    if (!give_room(first, room)) {
      first.stage = Stage::kBetween;
      events_.lost(first);
      continue;
    }
    events_.granted(first);
  }
}

// Takes the chunk's bytes up to `position` from the system: all but the
// prefix bytes carried at its start, which were taken before.
bool FrameReader::take_up_to(PeerFrames& peer, PeerInput& input, std::size_t position) {
  if (position == 0) return true;
  std::size_t carried = std::exchange(peer.carried, 0);
  return consume(peer, input, position - carried);
}

// Takes `count` bytes that were peeked at. The chunk is the scratch they
// may be dropped into: what it holds is used up before.
bool FrameReader::consume(PeerFrames& peer, PeerInput& input, std::size_t count) {
  while (count > 0) {
    Result<std::size_t> got = input.discard({chunk_.get(), std::min(count, limits_.read_size)});
    if (!got && got.error().is_interrupted()) continue;
    if (!got) {
      (void)read_failed(peer, got.error());
      return false;
    }
    if (*got == 0) {  // the bytes peeked at are gone
      (void)read_failed(peer, IoError::from_kind(ErrorKind::UnexpectedEof));
      return false;
    }
    count -= *got;
    count_taken(peer, *got);
  }
  return true;
}

bool FrameReader::print(PeerFrames& peer, std::span<const std::uint8_t> payload) {
  Status status = output_.add_line(payload);
  if (status.ok()) return true;
  events_.fault(peer, "cannot write the frame to standard output: " + display_text(status.error()));
  return false;
}

// Every line before the fault goes out before its report.
void FrameReader::fault(const PeerFrames& peer, std::string_view what) {
  if (Status status = output_.flush(); !status.ok()) {
    events_.fault(peer,
                  "cannot write the frame to standard output: " + display_text(status.error()));
  }
  events_.fault(peer, what);
}

Turn FrameReader::read_failed(PeerFrames& peer, const IoError& error) {
  if (retry_later(error)) return Turn::kNothing;
  std::string where = position(peer);
  fault(peer, "read failed" + (where.empty() ? "" : " " + where) + ": " + display_text(error));
  return Turn::kEnded;
}

// Lines go out at the end of each turn, so that a frame is printed as soon
// as it is whole.
Turn FrameReader::flushed(PeerFrames& peer, Turn turn) {
  Status status = output_.flush();
  if (status.ok()) return turn;
  events_.fault(peer, "cannot write the frame to standard output: " + display_text(status.error()));
  return Turn::kEnded;
}

std::size_t FrameReader::room_for(std::uint32_t length) const {
  std::size_t page = page_size();
  return (std::size_t{length} + page - 1) / page * page;
}

}  // namespace fc::receiver
