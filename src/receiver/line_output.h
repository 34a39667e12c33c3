#ifndef FC_RECEIVER_LINE_OUTPUT_H_
#define FC_RECEIVER_LINE_OUTPUT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "console/buffered_output.h"
#include "console/paced_device.h"
#include "console/std_streams.h"
#include "error/io_error.h"

namespace fc::receiver {

/// Standard output for payloads. Each payload becomes one line, its bytes
/// below 0x20 and 0x7F written as JSON escapes. Lines gather in a fixed
/// buffer that goes out when full and at each flush, so a payload of any size
/// needs no line of its own size in memory. A write that is interrupted or
/// would have to wait is tried again (PacedDevice), so that lines go out
/// whole and in order.
///
/// A failed write drops what was buffered. A line it cut short is ended
/// before the next line, so that no two lines are ever joined.
class LineOutput {
 public:
  static constexpr std::size_t kCapacity = std::size_t{64} * 1024;

  explicit LineOutput(OutputDevice& device, PacedDevice::GiveUp give_up = nullptr)
      : device_(device, give_up), out_(device_, buffer_) {}

  /// Adds the payload as a line.
  Status add_line(std::span<const std::uint8_t> payload);
  /// Hands what is buffered to the device.
  Status flush();
  /// Ends a line that a failed write cut short, and flushes.
  Status finish();
  /// How many lines the last failed write kept from reaching the device
  /// whole.
  std::uint64_t lines_dropped() const { return lines_dropped_; }
  /// How long writes have kept the program waiting, in all.
  std::chrono::steady_clock::duration time_writing() const { return device_.time_writing(); }

 private:
  Status end_cut_line();
  Status failed(Status status, bool inside_a_line);

  PacedDevice device_;
  char buffer_[kCapacity];
  BufferedOutput out_;
  std::uint64_t lines_dropped_ = 0;
  bool cut_ = false;  // a failed write left a line without its end
};

/// Bytes as a line shows them: those below 0x20 and 0x7F as JSON escapes,
/// every other byte as it is. For any text of a peer's or a user's that a
/// message shows.
std::string shown_text(std::string_view bytes);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_LINE_OUTPUT_H_
