#ifndef FC_RECEIVER_FRAME_READER_H_
#define FC_RECEIVER_FRAME_READER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "error/io_error.h"
#include "net/poller.h"
#include "receiver/frame_buffer.h"
#include "receiver/printer.h"

// Taking frames in from many connections at once and printing them, within
// one memory budget for all of them.
//
// A short frame (one read's worth, prefix included) stays with the system
// until it is whole, then is read and printed at once: it needs no room in
// the budget and never waits for it. A long frame needs room for its whole
// length, set aside when its prefix arrives, so that every frame taken in can
// complete; one that does not fit waits, unread, in line.
//
// The states of a connection's frames, and what moves it on:
//
//   kBetween  no frame under way; woken by any byte.
//             bytes -> every whole frame printed, then by what is left:
//             nothing -> kBetween; a refused length -> ended; part of a short
//             frame -> kHeld, or kTaken where the system will not hold it
//             whole; a long frame's prefix -> kLong if room is free and
//             nobody waits, else kWaiting.
//   kHeld     a short frame under way, all its bytes with the system, which
//             wakes the reader once the frame can be whole.
//             all came -> printed -> on as from kBetween; woken before that
//             -> kTaken.
//   kTaken    a short frame, or a prefix, that the system may not hold whole:
//             it follows bytes just taken from the system (a few bytes left
//             in a block made for many fill its buffer for the connection,
//             and nothing would wake the reader), or the system woke the
//             reader before the frame could be whole, or said it holds less.
//             Taken in as it comes, into memory of its own, not from the
//             budget: it never waits.
//             all came -> printed -> kBetween; a long frame's prefix ->
//             kLong or kWaiting, as from kBetween.
//   kWaiting  a long frame's prefix taken; its payload stays with the system
//             while it waits in line for room. Frames whose payloads have all
//             arrived are given room first: they cannot fail to complete.
//             room given -> kLong; its stream ended first -> kept if its
//             payload has all arrived, else ended.
//   kLong     a long frame with its room, its payload read as it comes.
//             all came -> printed, room given back to the line -> kBetween.
//
// From any state, the stream ending inside a frame, a failed read or a line
// that cannot be printed ends the connection, its fault told.

namespace fc::receiver {

/// A connection's bytes, as the system holds them.
class PeerBytes {
 public:
  /// Copies what waits, without taking it.
  virtual Result<std::size_t> peek(std::span<std::uint8_t> buffer) = 0;
  virtual Result<std::size_t> receive(std::span<std::uint8_t> buffer) = 0;
  /// Takes up to `scratch.size()` bytes and drops them.
  virtual Result<std::size_t> discard(std::span<std::uint8_t> scratch) = 0;
  /// How many bytes wait.
  virtual Result<std::size_t> waiting() = 0;
  /// Asks to be woken only once `bytes` wait, or the stream has ended: how
  /// many the system will hold (fewer where its limits are lower).
  virtual Result<std::size_t> hold(std::size_t bytes) = 0;
  /// The failure the stream ended with (a reset); success if none.
  virtual Status failure() = 0;

 protected:
  ~PeerBytes() = default;
};

/// One connection as the reader sees it: its bytes, and where news of it
/// goes. The connection itself implements it.
class PeerLink : public PeerBytes {
 public:
  /// A fault of the connection, to report; every line before it is out.
  virtual void fault(std::string_view what) = 0;
  /// Outside its turn its waiting frame got its room, or (`lost`) could not
  /// be given its memory, the fault told: what it waits for has changed.
  virtual void granted(bool lost) = 0;
  /// The connection as records name it.
  virtual const PeerName& name() const = 0;

 protected:
  ~PeerLink() = default;
};

/// Where a connection stands in its stream of frames.
enum class FrameState : std::uint8_t { kBetween, kHeld, kTaken, kWaiting, kLong };

/// One connection's frames: the reader's own, opaque to everyone else.
class PeerFrames {
 public:
  explicit PeerFrames(PeerLink& link) : link_(link) {}
  PeerFrames(const PeerFrames&) = delete;
  PeerFrames& operator=(const PeerFrames&) = delete;

  FrameState state() const { return state_; }

 private:
  friend class FrameReader;

  PeerLink& link_;
  FrameState state_ = FrameState::kBetween;
  bool began_ = false;                    // a frame began since the last answer
  bool complete_ = false;                 // kWaiting: its whole payload waits with the system
  bool watched_ = false;                  // kWaiting: woken once its whole payload waits
  bool lent_ = false;                     // kLong: its room is lent beyond the budget
  bool asked_ = false;                    // kHeld: the system wakes the reader once it can be whole
  bool taken_ = false;                    // bytes were taken from the system since it last waited
  std::uint8_t prefix_taken_ = 0;         // kTaken: bytes of the prefix
  std::array<std::uint8_t, 4> prefix_{};  // kTaken: the prefix taken in
  std::uint32_t length_ = 0;
  // kHeld: bytes of the frame seen with the system, prefix included;
  // kTaken, kLong: payload bytes taken.
  std::size_t seen_ = 0;
  FrameBuffer buffer_;                      // kTaken, kLong
  std::size_t room_ = 0;                    // kLong: its part of the budget
  std::list<PeerFrames*>::iterator place_;  // kWaiting: in its line
};

/// The reader's bounds.
struct ReaderLimits {
  std::size_t read_size;      ///< the longest read, and the longest short frame
  std::size_t budget;         ///< bytes of long frames held at once, whole pages
  std::uint32_t frame_limit;  ///< the longest payload taken
};

/// What the wait told of a connection's stream.
enum class StreamEnd {
  kOpen,     ///< nothing
  kClean,    ///< its peer ended it: all it sent waits to be read
  kUnclear,  ///< it ended, or failed
};

/// How a turn came out.
enum class Turn {
  kNothing,  ///< nothing new
  kHeard,    ///< bytes arrived
  kEnded,    ///< the connection is over, cleanly or with its fault told
};

/// Whether the frame limit runs for a connection.
enum class FrameTime {
  kStopped,   ///< no frame under way, or one that waits for room
  kRuns,      ///< a frame is under way: its limit runs on
  kRestarts,  ///< a new frame began, or got its room: its limit starts now
};

/// What a connection waits for after a turn, for the serving loop to apply.
struct Wants {
  Turn turn = Turn::kNothing;
  Watch watch = Watch::kInput;
  /// Bytes were left waiting: look again without waiting for news.
  bool more = false;
  bool idle_time = true;  ///< whether the idle limit runs
  FrameTime frame_time = FrameTime::kStopped;
  bool inside_frame = false;
};

class FrameReader {
 public:
  FrameReader(const ReaderLimits& limits, Printer& printer);

  /// One turn for a connection with news: takes what arrived, prints every
  /// frame it completes, and says what the connection waits for now.
  Wants take(PeerFrames& peer, StreamEnd end);
  /// What the connection waits for, outside its turns (once granted).
  Wants wants(PeerFrames& peer) { return answer(peer, Turn::kHeard, true); }
  /// The connection is gone: its room and its place in line are given back,
  /// and frames in line get the room.
  void drop(PeerFrames& peer);
  /// Whether bytes came since the reader last looked, asked before the
  /// connection is dropped as idle.
  bool heard_since(PeerFrames& peer);
  /// Where inside a frame the connection is, as "inside a payload after 3 of
  /// 6 bytes"; empty between frames.
  std::string position(PeerFrames& peer);
  /// Reports where the connection's stream stopped, after `how` ("stopped"),
  /// unless it stopped between frames.
  void report_unfinished(PeerFrames& peer, std::string_view how);
  /// From now on (a stop), a frame whose payload has all come is lent room
  /// beyond the budget, one at a time, when the room it waits for is held.
  void lend();
  /// The part of the budget that frames hold.
  std::size_t room_held() const { return limits_.budget - room_left_; }

 private:
  struct Step {
    Turn turn;
    bool more = false;
  };

  Step look(PeerFrames& peer, StreamEnd end);
  Step look_at_rest(PeerFrames& peer, std::span<const std::uint8_t> rest, std::size_t position,
                    bool all_seen, bool early, StreamEnd end);
  Step begin_long(PeerFrames& peer, std::span<const std::uint8_t> payload, std::size_t before,
                  bool all_seen, StreamEnd end);
  Step take_short(PeerFrames& peer, std::span<const std::uint8_t> rest, std::size_t position);
  Step read_prefix(PeerFrames& peer, StreamEnd end);
  Step after_prefix(PeerFrames& peer, StreamEnd end);
  Step read_payload(PeerFrames& peer, StreamEnd end);
  Step look_while_waiting(PeerFrames& peer, StreamEnd end);
  Step end_inside(PeerFrames& peer);
  Step read_failed(PeerFrames& peer, const IoError& error);
  Wants answer(PeerFrames& peer, Turn turn, bool more);
  bool hold(PeerFrames& peer, std::size_t bytes, std::size_t* held = nullptr);
  void enter(PeerFrames& peer, FrameState state);
  bool give_room(PeerFrames& peer, bool lent = false);
  bool give_buffer(PeerFrames& peer);
  void refuse(PeerFrames& peer, std::span<const std::uint8_t, 4> prefix);
  void release(PeerFrames& peer);
  void grant_waiting();
  bool consume(PeerFrames& peer, std::size_t count);
  bool print(PeerFrames& peer, std::span<const std::uint8_t> payload);
  bool flushed(PeerFrames& peer);
  void fault(PeerFrames& peer, std::string_view what);
  std::size_t room_for(std::uint32_t length) const;
  void check(const PeerFrames& peer) const;

  ReaderLimits limits_;
  Printer& printer_;
  std::size_t room_left_;
  bool lending_ = false;
  bool lent_ = false;                     // a frame holds room lent beyond the budget
  std::list<PeerFrames*> complete_line_;  // waiting frames whose payloads have all come
  std::list<PeerFrames*> line_;           // the other waiting frames, in order of arrival
  std::unique_ptr<std::uint8_t[]> chunk_;
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_FRAME_READER_H_
