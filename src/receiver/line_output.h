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
/// below 0x20 and 0x7F written as JSON escapes; or a line is made of pieces
/// (a record's). Lines gather in a fixed buffer that goes out when full and
/// at each flush, so a payload of any size needs no line of its own size in
/// memory. A write that is interrupted or would have to wait is tried again
/// (PacedDevice), so that lines go out whole and in order.
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
  /// Adds text as it is to the line under way.
  Status put(std::string_view text);
  /// Adds `bytes` to the line under way as `encode(piece, out)` writes them:
  /// pieces of whole `unit`s of bytes (but the last), each unit taking at
  /// most `most` chars at `out`, and `slack` chars more at the end of a
  /// piece; it returns the chars written.
  template <typename Encode>
  Status put_encoded(std::span<const std::uint8_t> bytes, std::size_t unit, std::size_t most,
                     std::size_t slack, Encode&& encode);
  /// Adds `bytes` as the inside of a JSON string: control bytes, 0x7F, the
  /// quote and the backslash escaped.
  Status put_json_string(std::span<const std::uint8_t> bytes);
  /// Ends the line under way.
  Status end_line() { return put("\n"); }
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
  template <bool json_string>
  Status put_shown(std::span<const std::uint8_t> bytes);
  Status failed(Status status, bool inside_a_line);

  PacedDevice device_;
  char buffer_[kCapacity];
  BufferedOutput out_;
  std::uint64_t lines_dropped_ = 0;
  bool cut_ = false;  // a failed write left a line without its end
};

template <typename Encode>
Status LineOutput::put_encoded(std::span<const std::uint8_t> bytes, std::size_t unit,
                               std::size_t most, std::size_t slack, Encode&& encode) {
  if (Status status = end_cut_line(); !status.ok()) return failed(std::move(status), false);
  while (!bytes.empty()) {
    std::span<char> room = out_.free_space();
    std::size_t units = (std::max(room.size(), slack) - slack) / most;
    if (units == 0) {
      if (Status status = out_.flush(); !status.ok()) return failed(std::move(status), true);
      continue;
    }
    std::span<const std::uint8_t> piece = bytes.first(std::min(units * unit, bytes.size()));
    out_.filled(encode(piece, room.data()));
    bytes = bytes.subspan(piece.size());
  }
  return {};
}

/// Bytes as a line shows them: those below 0x20 and 0x7F as JSON escapes,
/// every other byte as it is. For any text of a peer's or a user's that a
/// message shows.
std::string shown_text(std::string_view bytes);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_LINE_OUTPUT_H_
