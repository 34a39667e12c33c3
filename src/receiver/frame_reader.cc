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

Turn FrameReader::take(PeerFrames& peer, PeerInput& input, bool ended) {
  switch (peer.stage) {
    case Stage::kBetween: return take_short(peer, input, ended);
    case Stage::kPayload: return take_payload(peer, input);
    case Stage::kWaiting: break;
  }
  return ended ? look_at_waiting(peer, input) : Turn::kNothing;
}

// Prints every frame that is whole in what waits, up to one read's worth. A
// short frame that is not whole yet stays with the system; a long one is
// taken in with its room, or waits for it.
Turn FrameReader::take_short(PeerFrames& peer, PeerInput& input, bool ended) {
  std::size_t asked = std::min(limits_.read_size, peer.read_limit);
  Result<std::size_t> got = input.peek({chunk_.get(), asked});
  if (!got) return read_failed(peer, got.error());
  if (*got == 0) {
    report_unfinished(peer, "stream ended");
    return Turn::kEnded;
  }
  std::span<const std::uint8_t> bytes(chunk_.get(), *got);
  bool heard = bytes.size() > peer.seen;
  std::size_t used = 0;
  while (bytes.size() - used >= kPrefixSize) {
    std::uint32_t length = payload_length(bytes.subspan(used).first<kPrefixSize>());
    if (length > limits_.frame_limit) {
      peer.seen = 0;
      if (!consume(peer, input, used)) return Turn::kEnded;
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
  std::size_t rest = bytes.size() - used;
  peer.seen = 0;
  if (!consume(peer, input, used)) return Turn::kEnded;
  peer.seen = rest;
  if (rest >= kPrefixSize) peer.length = payload_length(bytes.subspan(used).first<kPrefixSize>());
  // Nothing more can come for the frame under way once the stream has ended
  // behind all that waits, or a stop set the limit at what waits.
  bool all_seen = bytes.size() < asked || rest == peer.read_limit;
  if (rest > 0 && all_seen && ended) {
    // A failure behind the last bytes tells more than the end.
    if (!consume(peer, input, rest)) return Turn::kEnded;
    std::uint8_t probe;
    if (Result<std::size_t> after = input.peek({&probe, 1}); !after) {
      return read_failed(peer, after.error());
    }
    report_unfinished(peer, "stream ended");
    return Turn::kEnded;
  }
  if (rest > 0 && all_seen && peer.read_limit != kNoReadLimit) {
    report_unfinished(peer, "stopped");
    return Turn::kEnded;
  }
  // Woken again only once the frame under way can be whole, when all that
  // waited was seen; more waits otherwise.
  peer.wanted = rest == 0 || !all_seen ? 1
                : rest < kPrefixSize   ? kPrefixSize
                                       : kPrefixSize + peer.length;
  return flushed(peer, heard ? Turn::kHeard : Turn::kNothing);
}

// `rest` starts with the prefix of a long frame, after `taken` bytes of
// frames printed.
Turn FrameReader::begin_long(PeerFrames& peer, PeerInput& input, std::span<const std::uint8_t> rest,
                             std::size_t taken) {
  peer.length = payload_length(rest.first<kPrefixSize>());
  std::size_t room = room_for(peer.length);
  peer.wanted = 1;
  if (!waiting_.empty() || room > room_left_) {
    // Only the prefix is taken: the payload stays with the system.
    peer.seen = 0;
    if (!consume(peer, input, taken + kPrefixSize)) return Turn::kEnded;
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
  if (!consume(peer, input, taken + rest.size())) return Turn::kEnded;
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

// Takes `count` bytes that were peeked at.
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
