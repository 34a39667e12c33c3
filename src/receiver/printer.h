#ifndef FC_RECEIVER_PRINTER_H_
#define FC_RECEIVER_PRINTER_H_

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "error/io_error.h"
#include "receiver/line_output.h"
#include "receiver/options.h"
#include "receiver/timestamp.h"

// What standard output shows of each frame, in the format asked for:
//
//   plain  the payload on a line of its own, control bytes escaped
//   json   a record a line (JSON Lines), for each frame and for each
//          connection's opening, fault and end:
//            {"conn":2,"peer":"127.0.0.1:50312","time":"2026-12-10T04:05:06.123456Z",
//             "event":"frame","length":28,"json":{"id":"3","message":"split"}}
//          the payload as "json" when it is one JSON text (white space
//          between its tokens dropped, and then as sent in "text" too), else
//          as "text" when it is UTF-8, else as "base64"; a fault's "message"
//          as standard error tells it
//   hex    a line naming the connection and the length, then the bytes as
//          hexdump -C lays them out

namespace fc::receiver {

/// A connection as records name it.
struct PeerName {
  std::uint64_t number = 0;
  std::string address;  ///< the peer's socket address as text
};

class Printer {
 public:
  /// Prints to `output`; once `frame_limit` frames are printed (0: no
  /// limit), it is full.
  Printer(Format format, LineOutput& output, std::uint64_t frame_limit = 0)
      : format_(format), output_(output), frame_limit_(frame_limit) {}

  Status frame(const PeerName& peer, std::span<const std::uint8_t> payload) {
    ++frames_;
    bytes_ += payload.size();
    if (format_ == Format::kPlain) return output_.add_line(payload);
    return record(peer, payload);
  }
  /// A connection's events: records of their own in JSON, nothing else.
  Status opened(const PeerName& peer) { return event(peer, "open", {}); }
  Status fault(const PeerName& peer, std::string_view message) {
    return event(peer, "fault", message);
  }
  Status ended(const PeerName& peer) { return event(peer, "end", {}); }
  /// The time that records give: when the turn under way began.
  void set_time(std::chrono::system_clock::time_point now) { now_ = now; }
  /// Whether the frames asked for are all printed.
  bool full() const { return frame_limit_ != 0 && frames_ >= frame_limit_; }
  std::uint64_t frames() const { return frames_; }
  std::uint64_t bytes() const { return bytes_; }
  LineOutput& output() { return output_; }

 private:
  Status record(const PeerName& peer, std::span<const std::uint8_t> payload);
  Status json_frame(const PeerName& peer, std::span<const std::uint8_t> payload);
  Status hex_frame(const PeerName& peer, std::span<const std::uint8_t> payload);
  Status event(const PeerName& peer, std::string_view name, std::string_view message);
  Status head(const PeerName& peer, std::string_view event);

  Format format_;
  LineOutput& output_;
  std::uint64_t frame_limit_;
  std::uint64_t frames_ = 0;
  std::uint64_t bytes_ = 0;
  std::chrono::system_clock::time_point now_{};
  UtcTimeFormatter times_;
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_PRINTER_H_
