#include "receiver/frame_reader.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "json/frame_prefix.h"
#include "receiver/frame_scan.h"
#include "receiver/length_diagnosis.h"

namespace fc::receiver {
namespace {

constexpr std::size_t kPrefix = kFramePrefixSize;

bool retry_later(const IoError& error) {
  return error.is_interrupted() || error.kind() == ErrorKind::WouldBlock;
}

std::string output_fault(const IoError& error) {
  return "cannot write the frame to standard output: " + display_text(error);
}

}  // namespace

FrameReader::FrameReader(const ReaderLimits& limits, Printer& printer)
    : limits_(limits),
      printer_(printer),
      room_left_(limits.budget),
      chunk_(new std::uint8_t[limits.read_size]) {}

Wants FrameReader::take(PeerFrames& peer, StreamEnd end) {
  Step step{Turn::kNothing};
  bool inside = peer.state_ == FrameState::kTaken || peer.state_ == FrameState::kLong;
  switch (peer.state_) {
    case FrameState::kBetween:
    case FrameState::kHeld: step = look(peer, end); break;
    case FrameState::kTaken:
      step = peer.prefix_taken_ < kPrefix ? read_prefix(peer, end) : read_payload(peer, end);
      break;
    case FrameState::kLong: step = read_payload(peer, end); break;
    case FrameState::kWaiting: step = look_while_waiting(peer, end); break;
  }
  // A frame taken in is whole and more waits: the frames after it go out in
  // the same turn, with one write.
  if (inside && step.more && step.turn == Turn::kHeard && peer.state_ == FrameState::kBetween) {
    Step next = look(peer, end);
    step = {next.turn == Turn::kEnded ? Turn::kEnded : Turn::kHeard, next.more};
  }
  // Lines go out at the end of each turn, so that a frame is printed as soon
  // as it is whole.
  if (!flushed(peer)) step.turn = Turn::kEnded;
  if (!step.more) peer.taken_ = false;
  check(peer);
  return answer(peer, step.turn, step.more);
}

// Prints every frame that is whole in what waits, up to one read's worth;
// then the rest decides what the connection waits for.
FrameReader::Step FrameReader::look(PeerFrames& peer, StreamEnd end) {
  bool held = peer.state_ == FrameState::kHeld;
  std::size_t before = held ? peer.seen_ : 0;
  bool early = held && peer.asked_;
  Result<std::size_t> got = peer.link_.peek({chunk_.get(), limits_.read_size});
  if (!got) return read_failed(peer, got.error());
  if (*got == 0) return end_inside(peer);
  Turn heard = *got > before ? Turn::kHeard : Turn::kNothing;
  bool all_seen = *got < limits_.read_size;
  FrameScan scan({chunk_.get(), *got}, limits_.frame_limit);
  bool printed = false;
  while (std::optional<std::span<const std::uint8_t>> payload = scan.next()) {
    if (!print(peer, *payload)) return {Turn::kEnded};
    printed = true;
  }
  // The frames asked for are printed: the connection is read no further.
  if (printer_.full()) return {Turn::kEnded};
  if (printed || !held) peer.began_ = true;
  std::span<const std::uint8_t> rest(chunk_.get() + scan.end(), *got - scan.end());
  switch (scan.rest()) {
    case Rest::kNothing:
      if (!consume(peer, scan.end())) return {Turn::kEnded};
      enter(peer, FrameState::kBetween);
      // The peer ended its stream after whole frames: all it sent is out.
      if (all_seen && end == StreamEnd::kClean) return {Turn::kEnded};
      if (!hold(peer, 1)) return {Turn::kEnded};
      return {heard, !all_seen || end != StreamEnd::kOpen};
    case Rest::kRefused:
      if (!consume(peer, scan.end())) return {Turn::kEnded};
      peer.length_ = scan.rest_length();
      refuse(peer, rest.first<kPrefix>());
      return {Turn::kEnded};
    case Rest::kCutPrefix:
    case Rest::kCutFrame: break;
  }
  Step step = look_at_rest(peer, rest, scan.end(), all_seen, early && !printed, end);
  if (step.turn == Turn::kNothing) step.turn = heard;
  return step;
}

// `rest`, at `position` in what was looked at, starts a frame that is not
// whole there. `early`: the system woke the reader before the frame could be
// whole, which it does when it may hold no more of it.
FrameReader::Step FrameReader::look_at_rest(PeerFrames& peer, std::span<const std::uint8_t> rest,
                                            std::size_t position, bool all_seen, bool early,
                                            StreamEnd end) {
  std::size_t whole = kPrefix;
  if (rest.size() >= kPrefix) {
    peer.length_ = payload_length(rest.first<kPrefix>());
    whole += peer.length_;
    if (whole > limits_.read_size) {
      return begin_long(peer, rest.subspan(kPrefix), position + kPrefix, all_seen, end);
    }
  }
  bool waits_on = all_seen && end == StreamEnd::kOpen;
  if (waits_on) {
    // Bytes taken before it may leave its block of the system's buffer held
    // while no more can come.
    bool pinned = early || position > 0 || peer.taken_;
    std::size_t held = 0;
    if (!pinned && !hold(peer, whole, &held)) return {Turn::kEnded};
    if (pinned || held < whole) return take_short(peer, rest, position);
  }
  if (!consume(peer, position)) return {Turn::kEnded};
  enter(peer, FrameState::kHeld);
  peer.seen_ = rest.size();
  peer.asked_ = waits_on;
  if (waits_on) return {Turn::kNothing};
  // More waits than one read took, and the frame may be whole beyond it; or
  // its stream has ended inside it.
  return all_seen ? end_inside(peer) : Step{Turn::kNothing, true};
}

// A long frame whose prefix is in: it gets its room and its `payload` bytes
// seen so far are taken in, or it waits in line. `before` bytes, up to the
// payload, are still to be taken from the system.
FrameReader::Step FrameReader::begin_long(PeerFrames& peer, std::span<const std::uint8_t> payload,
                                          std::size_t before, bool all_seen, StreamEnd end) {
  if (complete_line_.empty() && line_.empty() && room_for(peer.length_) <= room_left_) {
    enter(peer, FrameState::kLong);
    if (!give_room(peer)) return {Turn::kEnded};
    if (!payload.empty()) std::memcpy(peer.buffer_.bytes().data(), payload.data(), payload.size());
    peer.seen_ = payload.size();
    if (!consume(peer, before + payload.size()) || !hold(peer, 1)) return {Turn::kEnded};
    return {Turn::kNothing, !all_seen || end != StreamEnd::kOpen};
  }
  if (!consume(peer, before)) return {Turn::kEnded};
  enter(peer, FrameState::kWaiting);
  peer.place_ = line_.insert(line_.end(), &peer);
  std::size_t held = 0;
  if (!hold(peer, peer.length_, &held)) return {Turn::kEnded};
  peer.watched_ = held >= peer.length_;
  // Its payload may have come already, and its stream ended.
  return look_while_waiting(peer, end);
}

// A short frame, or a prefix, that the system may not hold whole is taken in
// as it comes, so that the rest can come.
FrameReader::Step FrameReader::take_short(PeerFrames& peer, std::span<const std::uint8_t> rest,
                                          std::size_t position) {
  enter(peer, FrameState::kTaken);
  peer.prefix_taken_ = static_cast<std::uint8_t>(std::min(rest.size(), kPrefix));
  std::memcpy(peer.prefix_.data(), rest.data(), peer.prefix_taken_);
  if (peer.prefix_taken_ == kPrefix) {
    if (!give_buffer(peer)) return {Turn::kEnded};
    std::span<const std::uint8_t> payload = rest.subspan(kPrefix);
    std::memcpy(peer.buffer_.bytes().data(), payload.data(), payload.size());
    peer.seen_ = payload.size();
  }
  if (!consume(peer, position + rest.size()) || !hold(peer, 1)) return {Turn::kEnded};
  return {Turn::kNothing};
}

// The rest of a prefix taken in.
FrameReader::Step FrameReader::read_prefix(PeerFrames& peer, StreamEnd end) {
  std::span<std::uint8_t> free = std::span(peer.prefix_).subspan(peer.prefix_taken_);
  Result<std::size_t> got = peer.link_.receive(free);
  if (!got) return read_failed(peer, got.error());
  if (*got == 0) return end_inside(peer);
  peer.prefix_taken_ = static_cast<std::uint8_t>(peer.prefix_taken_ + *got);
  peer.taken_ = true;
  if (peer.prefix_taken_ < kPrefix) return {Turn::kHeard, end != StreamEnd::kOpen};
  Step step = after_prefix(peer, end);
  if (step.turn == Turn::kNothing) step.turn = Turn::kHeard;
  return step;
}

// A prefix taken in is whole: the frame is refused, or goes on as a short
// frame taken in, or as a long one.
FrameReader::Step FrameReader::after_prefix(PeerFrames& peer, StreamEnd end) {
  peer.length_ = payload_length(peer.prefix_);
  if (peer.length_ > limits_.frame_limit) {
    std::array<std::uint8_t, kPrefix> prefix = peer.prefix_;
    refuse(peer, prefix);
    return {Turn::kEnded};
  }
  if (kPrefix + peer.length_ > limits_.read_size) return begin_long(peer, {}, 0, false, end);
  if (peer.length_ > 0) {
    if (!give_buffer(peer)) return {Turn::kEnded};
    return {Turn::kNothing, true};
  }
  if (!print(peer, {})) return {Turn::kEnded};
  enter(peer, FrameState::kBetween);
  if (printer_.full()) return {Turn::kEnded};
  return {Turn::kNothing, true};
}

// More of a payload taken in, one read's worth at most; printed, and its
// room given back, once whole. A stream that has ended is read again, for
// the wait tells of its end only once.
FrameReader::Step FrameReader::read_payload(PeerFrames& peer, StreamEnd end) {
  std::span<std::uint8_t> free = peer.buffer_.bytes().subspan(peer.seen_);
  std::size_t asked = std::min(free.size(), limits_.read_size);
  Result<std::size_t> got = peer.link_.receive(free.first(asked));
  if (!got) return read_failed(peer, got.error());
  if (*got == 0) return end_inside(peer);
  peer.seen_ += *got;
  peer.taken_ = true;
  bool more = *got == asked || end != StreamEnd::kOpen;
  if (peer.seen_ < peer.length_) return {Turn::kHeard, more};
  bool printed = print(peer, peer.buffer_.bytes());
  release(peer);
  enter(peer, FrameState::kBetween);
  grant_waiting();
  if (!printed || printer_.full() || !hold(peer, 1)) return {Turn::kEnded};
  return {Turn::kHeard, more};
}

// A waiting frame's payload stays with the system: once it has all come the
// frame goes to the head of the line; if its stream ends first, it cannot
// complete.
FrameReader::Step FrameReader::look_while_waiting(PeerFrames& peer, StreamEnd end) {
  Result<std::size_t> waiting = peer.link_.waiting();
  if (!waiting) return read_failed(peer, waiting.error());
  if (*waiting >= peer.length_) {
    if (!peer.complete_) {
      peer.complete_ = true;
      line_.erase(peer.place_);
      peer.place_ = complete_line_.insert(complete_line_.end(), &peer);
      grant_waiting();
    }
    return {Turn::kNothing};
  }
  if (end != StreamEnd::kOpen) return end_inside(peer);
  return {Turn::kNothing};
}

// The stream ended inside the frame under way, or between frames.
FrameReader::Step FrameReader::end_inside(PeerFrames& peer) {
  if (peer.state_ != FrameState::kBetween) {
    Status failure = peer.link_.failure();
    if (!failure.ok()) return read_failed(peer, failure.error());
    report_unfinished(peer, "stream ended");
  }
  return {Turn::kEnded};
}

// A read that failed: one to try again is nothing new, any other ends the
// connection, told with where its frame stood.
FrameReader::Step FrameReader::read_failed(PeerFrames& peer, const IoError& error) {
  if (retry_later(error)) return {Turn::kNothing};
  std::string where = position(peer);
  fault(peer, "read failed" + (where.empty() ? "" : " " + where) + ": " + display_text(error));
  return {Turn::kEnded};
}

// A refused length is told with what its bytes look like, when they look
// like another protocol's or a frame's of another byte order.
void FrameReader::refuse(PeerFrames& peer, std::span<const std::uint8_t, kPrefix> prefix) {
  std::uint32_t length = peer.length_;
  enter(peer, FrameState::kBetween);
  fault(peer, "frame length " + std::to_string(length) + " exceeds the limit of " +
                  std::to_string(limits_.frame_limit) + " bytes" +
                  describe_refused_prefix(prefix, limits_.frame_limit));
}

Wants FrameReader::answer(PeerFrames& peer, Turn turn, bool more) {
  Wants wants{turn, Watch::kInput, more};
  switch (peer.state_) {
    case FrameState::kBetween: break;
    case FrameState::kHeld:
    case FrameState::kTaken:
    case FrameState::kLong:
      wants.frame_time = peer.began_ ? FrameTime::kRestarts : FrameTime::kRuns;
      wants.inside_frame = true;
      break;
    case FrameState::kWaiting:
      // Neither idle nor late; its end or its failure is news, and its
      // payload's arrival where the system can tell of it.
      wants.watch = peer.complete_ ? Watch::kFailure : peer.watched_ ? Watch::kInput : Watch::kEnd;
      wants.more = false;
      wants.idle_time = false;
      wants.inside_frame = true;
      break;
  }
  if (peer.state_ != FrameState::kWaiting) peer.began_ = false;
  return wants;
}

// Asks the system to wake the reader once `bytes` wait; `held` is how many
// it will hold.
bool FrameReader::hold(PeerFrames& peer, std::size_t bytes, std::size_t* held) {
  Result<std::size_t> result = peer.link_.hold(bytes);
  if (!result) {
    fault(peer, "cannot wait for input: " + display_text(result.error()));
    return false;
  }
  if (held != nullptr) *held = *result;
  return true;
}

void FrameReader::enter(PeerFrames& peer, FrameState state) {
  if (state == FrameState::kBetween) peer.buffer_.reset();
  if (state != FrameState::kWaiting) {
    peer.complete_ = false;
    peer.watched_ = false;
  }
  peer.seen_ = 0;
  peer.asked_ = false;
  peer.state_ = state;
}

bool FrameReader::give_room(PeerFrames& peer, bool lent) {
  if (!give_buffer(peer)) return false;
  peer.room_ = room_for(peer.length_);
  peer.lent_ = lent;
  if (lent) {
    lent_ = true;
  } else {
    room_left_ -= peer.room_;
  }
  return true;
}

bool FrameReader::give_buffer(PeerFrames& peer) {
  Result<FrameBuffer> buffer = FrameBuffer::allocate(peer.length_);
  if (!buffer) {
    fault(peer, "no memory for a frame of " + std::to_string(peer.length_) +
                    " bytes: " + display_text(buffer.error()));
    return false;
  }
  peer.buffer_ = std::move(*buffer);
  return true;
}

void FrameReader::drop(PeerFrames& peer) {
  release(peer);
  enter(peer, FrameState::kBetween);
  grant_waiting();
}

void FrameReader::release(PeerFrames& peer) {
  if (peer.state_ == FrameState::kWaiting) {
    (peer.complete_ ? complete_line_ : line_).erase(peer.place_);
  }
  std::size_t room = std::exchange(peer.room_, 0);
  if (std::exchange(peer.lent_, false)) {
    lent_ = false;
  } else {
    room_left_ += room;
  }
}

void FrameReader::lend() {
  lending_ = true;
  grant_waiting();
}

// Gives frames in line their room while it lasts: first those whose payloads
// have all come, then the others, each in the order they came.
void FrameReader::grant_waiting() {
  for (;;) {
    std::list<PeerFrames*>& line = complete_line_.empty() ? line_ : complete_line_;
    if (line.empty()) return;
    bool fits = room_for(line.front()->length_) <= room_left_;
    bool lent = !fits && lending_ && !lent_ && &line == &complete_line_;
    if (!fits && !lent) return;
    PeerFrames& first = *line.front();
    line.pop_front();
    enter(first, FrameState::kLong);
    first.began_ = true;
    bool given = give_room(first, lent) && hold(first, 1);
    if (!given) {
      release(first);
      enter(first, FrameState::kBetween);
    }
    first.link_.granted(!given);
  }
}

// Takes `count` bytes that were looked at. The chunk is the scratch they
// are dropped into: what it holds is used up before. The bytes are there,
// so any failure, one to retry later included, ends the connection.
bool FrameReader::consume(PeerFrames& peer, std::size_t count) {
  while (count > 0) {
    Result<std::size_t> got =
        peer.link_.discard({chunk_.get(), std::min(count, limits_.read_size)});
    if (!got && got.error().is_interrupted()) continue;
    if (!got || *got == 0) {
      IoError error = got ? IoError::from_kind(ErrorKind::UnexpectedEof)  // the bytes are gone
                          : std::move(got.error());
      std::string where = position(peer);
      fault(peer, "read failed" + (where.empty() ? "" : " " + where) + ": " + display_text(error));
      return false;
    }
    count -= *got;
    peer.taken_ = true;
  }
  return true;
}

bool FrameReader::print(PeerFrames& peer, std::span<const std::uint8_t> payload) {
  if (printer_.full()) return true;
  Status status = printer_.frame(peer.link_.name(), payload);
  if (status.ok()) return true;
  peer.link_.fault(output_fault(status.error()));
  return false;
}

bool FrameReader::flushed(PeerFrames& peer) {
  Status status = printer_.output().flush();
  if (status.ok()) return true;
  peer.link_.fault(output_fault(status.error()));
  return false;
}

// Every line before the fault goes out before its report.
void FrameReader::fault(PeerFrames& peer, std::string_view what) {
  (void)flushed(peer);
  peer.link_.fault(what);
}

bool FrameReader::heard_since(PeerFrames& peer) {
  Result<std::size_t> waiting = peer.link_.waiting();
  std::size_t known = peer.state_ == FrameState::kHeld ? peer.seen_ : 0;
  if (!waiting || *waiting <= known) return false;
  if (peer.state_ == FrameState::kHeld) peer.seen_ = *waiting;
  return true;
}

std::string FrameReader::position(PeerFrames& peer) {
  std::size_t seen = peer.seen_;
  switch (peer.state_) {
    case FrameState::kBetween: return "";
    case FrameState::kHeld: {
      // Its bytes stay with the system, its prefix first, and more may have
      // come since the last look; what waits beyond it is the next frame's.
      std::size_t waiting = std::max(seen, peer.link_.waiting().value_or(0));
      std::array<std::uint8_t, kPrefix> prefix{};
      Result<std::size_t> peeked = peer.link_.peek(prefix);
      std::uint32_t length = peer.length_;
      if (peeked && *peeked < kPrefix) {
        seen = *peeked;
        break;
      }
      if (peeked) {
        length = payload_length(prefix);
      } else if (seen < kPrefix) {
        break;
      }
      seen = std::min(waiting, kPrefix + std::size_t{length}) - kPrefix;
      return "inside a payload after " + std::to_string(seen) + " of " + std::to_string(length) +
             " bytes";
    }
    case FrameState::kTaken:
      if (peer.prefix_taken_ < kPrefix) {
        seen = peer.prefix_taken_;
        break;
      }
      [[fallthrough]];
    case FrameState::kLong:
      return "inside a payload after " + std::to_string(seen) + " of " +
             std::to_string(peer.length_) + " bytes";
    case FrameState::kWaiting:
      seen = std::min<std::size_t>(peer.link_.waiting().value_or(0), peer.length_);
      return "inside a payload after " + std::to_string(seen) + " of " +
             std::to_string(peer.length_) + " bytes";
  }
  return "inside a length prefix after " + std::to_string(seen) + " of " + std::to_string(kPrefix) +
         " bytes";
}

void FrameReader::report_unfinished(PeerFrames& peer, std::string_view how) {
  std::string where = position(peer);
  if (!where.empty()) fault(peer, std::string(how) + " " + where);
}

std::size_t FrameReader::room_for(std::uint32_t length) const {
  std::size_t page = page_size();
  return (std::size_t{length} + page - 1) / page * page;
}

// The invariants, in the builds that keep assertions: a frame is in a line
// exactly while it waits, room is held exactly while a long payload is read,
// and never more than the budget.
void FrameReader::check([[maybe_unused]] const PeerFrames& peer) const {
#ifndef NDEBUG
  auto in = [&](const std::list<PeerFrames*>& line) {
    return std::find(line.begin(), line.end(), &peer) != line.end();
  };
  assert((peer.state_ == FrameState::kWaiting) == (in(line_) || in(complete_line_)));
  assert((peer.room_ > 0) == (peer.state_ == FrameState::kLong));
  assert(room_left_ <= limits_.budget);
  for (const PeerFrames* waiting : line_) assert(waiting->state_ == FrameState::kWaiting);
  for (const PeerFrames* waiting : complete_line_) assert(waiting->complete_);
#endif
}

}  // namespace fc::receiver
