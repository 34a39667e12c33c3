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
#include "receiver/frame_buffer.h"
#include "receiver/line_output.h"

// Taking frames in from many connections at once and printing them, within
// one memory budget for all of them.
//
// A short frame (as long as one read, prefix included) stays with the system
// until it is whole, then is read and printed at once: it needs no memory of
// ours and never waits, unless the system's buffer for its connection fills
// first; then it is taken in as a long frame. A long frame needs room in the budget for its whole
// length, set aside when its prefix arrives, so that every frame taken in can
// complete; one that does not fit waits, unread, behind those that came
// before it.

namespace fc::receiver {

/// Where a connection stands in its stream of frames.
enum class Stage {
  kBetween,  ///< between frames; a short frame's bytes stay with the system
  kWaiting,  ///< a long frame's prefix is in; it waits for room
  kPayload,  ///< a long frame has its room and buffer and is being read
};

/// One connection's bytes, as the system holds them.
class PeerInput {
 public:
  /// Copies what waits, without taking it.
  virtual Result<std::size_t> peek(std::span<std::uint8_t> buffer) = 0;
  virtual Result<std::size_t> receive(std::span<std::uint8_t> buffer) = 0;
  /// Takes up to `scratch.size()` bytes and drops them.
  virtual Result<std::size_t> discard(std::span<std::uint8_t> scratch) = 0;
  /// How many bytes wait.
  virtual Result<std::size_t> waiting() = 0;

 protected:
  ~PeerInput() = default;
};

/// No bound on what a connection may still send.
inline constexpr std::size_t kNoReadLimit = SIZE_MAX;

/// One connection's frames.
struct PeerFrames {
  std::uint64_t number = 0;  ///< counted from 1 in the order taken, for reports
  Stage stage = Stage::kBetween;
  /// Bytes seen of the frame under way, its prefix included: held by the
  /// system (kBetween), or taken (kWaiting, kPayload).
  std::size_t seen = 0;
  std::uint32_t length = 0;  ///< of the frame under way, once its prefix is seen
  /// How many bytes must wait before another look is worth it.
  std::size_t wanted = 1;
  /// Bytes of a short frame under way that wait with the system, as last
  /// seen.
  std::size_t held = 0;
  /// A prefix cut short, taken in: the start of the frame under way.
  std::array<std::uint8_t, 3> carry{};
  std::size_t carried = 0;
  /// How many more bytes may be taken: no bound until a stop.
  std::size_t read_limit = kNoReadLimit;
  std::uint64_t frames_done = 0;           ///< frames printed or refused
  FrameBuffer buffer;                      ///< a long frame's payload
  std::size_t room = 0;                    ///< the part of the budget it holds
  std::list<PeerFrames*>::iterator place;  ///< in the line of waiting frames

  /// Whether a frame has begun and not ended.
  bool inside_frame() const { return stage != Stage::kBetween || seen > 0; }
};

/// The reader's bounds.
struct ReaderLimits {
  std::size_t read_size;      ///< the longest read, and the longest short frame
  std::size_t budget;         ///< bytes of long frames held at once, whole pages
  std::uint32_t frame_limit;  ///< the longest payload taken
};

/// What the reader tells its owner.
class ReaderEvents {
 public:
  /// A fault on the connection, to report; every line before it is out.
  virtual void fault(const PeerFrames& peer, std::string_view what) = 0;
  /// A waiting frame has its room: its connection's input is read again.
  virtual void granted(PeerFrames& peer) = 0;
  /// The reader gave up the connection outside its turn: it is to be closed.
  virtual void lost(PeerFrames& peer) = 0;

 protected:
  ~ReaderEvents() = default;
};

/// What the system told of a connection's stream.
enum class StreamEnd {
  kOpen,     ///< nothing
  kClean,    ///< its peer ended it: all it sent waits to be read
  kUnclear,  ///< it ended, or failed
};

/// What a turn came to.
enum class Turn {
  kNothing,  ///< nothing new
  kHeard,    ///< bytes arrived
  kEnded,    ///< the connection is over, cleanly or with its fault told
};

class FrameReader {
 public:
  FrameReader(const ReaderLimits& limits, LineOutput& output, ReaderEvents& events);

  /// One turn for a connection with news: takes what arrived and prints
  /// every frame it completes.
  Turn take(PeerFrames& peer, PeerInput& input, StreamEnd end);
  /// The connection is gone: its room and its place in line are given back,
  /// and waiting frames get the room.
  void drop(PeerFrames& peer);
  /// Where the connection's stream stopped, told after `how` ("stream ended",
  /// "stopped"), unless it stopped between frames.
  void report_unfinished(const PeerFrames& peer, std::string_view how);
  /// Where inside a frame the connection is, as "inside a payload after 3 of
  /// 6 bytes"; empty between frames.
  static std::string position(const PeerFrames& peer);
  /// The part of the budget that frames hold.
  std::size_t room_held() const { return limits_.budget - room_left_; }

 private:
  Turn take_short(PeerFrames& peer, PeerInput& input, StreamEnd end);
  Turn end_inside(PeerFrames& peer, PeerInput& input, std::size_t position, bool ended);
  Turn begin_long(PeerFrames& peer, PeerInput& input, std::span<const std::uint8_t> rest,
                  std::size_t position);
  Turn take_payload(PeerFrames& peer, PeerInput& input);
  Turn look_at_waiting(PeerFrames& peer, PeerInput& input);
  bool give_room(PeerFrames& peer, std::size_t room);
  void release(PeerFrames& peer);
  void grant_waiting();
  bool take_up_to(PeerFrames& peer, PeerInput& input, std::size_t position);
  bool consume(PeerFrames& peer, PeerInput& input, std::size_t count);
  bool print(PeerFrames& peer, std::span<const std::uint8_t> payload);
  void fault(const PeerFrames& peer, std::string_view what);
  Turn read_failed(PeerFrames& peer, const IoError& error);
  Turn flushed(PeerFrames& peer, Turn turn);
  std::size_t room_for(std::uint32_t length) const;

  ReaderLimits limits_;
  LineOutput& output_;
  ReaderEvents& events_;
  std::size_t room_left_;
  std::list<PeerFrames*> waiting_;
  std::unique_ptr<std::uint8_t[]> chunk_;
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_FRAME_READER_H_
