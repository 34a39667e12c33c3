#ifndef FC_RECEIVER_LINE_OUTPUT_H_
#define FC_RECEIVER_LINE_OUTPUT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "console/buffered_output.h"
#include "console/std_streams.h"
#include "error/io_error.h"

namespace fc::receiver {

/// Standard output for payloads. Each payload becomes one line, its bytes
/// below 0x20 and 0x7F written as JSON escapes. Lines gather in a fixed
/// buffer that goes out when full and at each flush, so a payload of any size
/// needs no line of its own size in memory. A write that is interrupted or
/// would have to wait is tried again, so that lines go out whole and in order.
class LineOutput {
 public:
  static constexpr std::size_t kCapacity = std::size_t{64} * 1024;

  explicit LineOutput(OutputDevice& device) : device_(device), out_(device_, buffer_) {}

  /// Adds the payload as a line. A failure of the device drops what was
  /// buffered.
  Status add_line(std::span<const std::uint8_t> payload);
  /// Hands what is buffered to the device.
  Status flush();
  /// How long writes have kept the program waiting, in all.
  std::chrono::steady_clock::duration time_writing() const { return device_.time_writing(); }

 private:
  // The device, with a full non-blocking stream waited for and the time
  // spent writing counted.
  class PacedDevice final : public OutputDevice {
   public:
    explicit PacedDevice(OutputDevice& device) : device_(device) {}
    Result<std::size_t> write_some(std::string_view bytes) override;
    std::chrono::steady_clock::duration time_writing() const { return time_writing_; }

   private:
    OutputDevice& device_;
    std::chrono::steady_clock::duration time_writing_{};
  };

  Status put(std::string_view bytes);

  PacedDevice device_;
  char buffer_[kCapacity];
  BufferedOutput out_;
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_LINE_OUTPUT_H_
