#ifndef FC_TOOLS_SINK_OUTPUT_H_
#define FC_TOOLS_SINK_OUTPUT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "console/std_streams.h"
#include "error/io_error.h"

namespace fc::sink {

/// Standard output for payloads. Each payload becomes one line, its bytes
/// below 0x20 and 0x7F written as JSON escapes. Lines gather in a fixed
/// buffer that goes out when full and at each flush, so a payload of any size
/// needs no line of its own size in memory. A write that is interrupted or
/// would have to wait is tried again, so that lines go out whole and in order.
class LineOutput {
 public:
  static constexpr std::size_t kCapacity = std::size_t{64} * 1024;

  explicit LineOutput(OutputDevice& device) : device_(device) {}

  /// Adds the payload as a line. A failure of the device drops what was
  /// buffered.
  Status add_line(std::span<const std::uint8_t> payload);
  /// Hands what is buffered to the device.
  Status flush();
  /// How long writes have kept the program waiting, in all.
  std::chrono::steady_clock::duration time_writing() const { return time_writing_; }

 private:
  // The device, with a full non-blocking stream waited for.
  class WaitingDevice final : public OutputDevice {
   public:
    explicit WaitingDevice(OutputDevice& device);
    Result<std::size_t> write_some(std::string_view bytes) override;

   private:
    OutputDevice& device_;
  };

  Status put(std::string_view bytes);
  Status write_out(std::string_view bytes);

  WaitingDevice device_;
  char buffer_[kCapacity];
  std::size_t size_ = 0;
  std::chrono::steady_clock::duration time_writing_{};
};

}  // namespace fc::sink

#endif  // FC_TOOLS_SINK_OUTPUT_H_
