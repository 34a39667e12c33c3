#ifndef FC_CONSOLE_BUFFERED_OUTPUT_H_
#define FC_CONSOLE_BUFFERED_OUTPUT_H_

#include <cstddef>
#include <span>
#include <string_view>

#include "console/std_streams.h"
#include "error/io_error.h"

namespace fc {

/// A flush whose device took none of the buffered bytes.
inline constexpr FixedMessage kFlushWriteZero{"failed to write the buffered data",
                                              ErrorKind::WriteZero};

/// A buffer in front of an output device, in storage its owner provides:
/// pieces gather until one does not fit or flush() hands them over, and a
/// piece as long as the buffer goes straight to the device. Every writer of
/// the programs that buffers uses it.
///
/// When the device fails or takes nothing:
/// - a flush keeps what the device did not take, in order, and tells the
///   device's error, or kFlushWriteZero for a write that took nothing;
/// - a piece that does not fit beside what waits is refused, untouched, when
///   the flush before it fails, and what waits stays;
/// - a piece as long as the buffer is not kept: what the device did not take
///   of it is lost, told by the device's error, or kWriteZero ("failed to
///   write whole buffer") for a write that took nothing.
class BufferedOutput {
 public:
  BufferedOutput(OutputDevice& device, std::span<char> storage)
      : device_(device), storage_(storage) {}
  BufferedOutput(const BufferedOutput&) = delete;
  BufferedOutput& operator=(const BufferedOutput&) = delete;

  /// Adds the piece, handing what is buffered to the device first when the
  /// piece does not fit.
  Status write(std::string_view piece);
  /// Hands what is buffered to the device, continuing short and interrupted
  /// writes. What a failing device did not take stays buffered, in order.
  Status flush();
  /// The free part of the buffer, to be filled in place and then counted
  /// with filled().
  std::span<char> free_space() const { return storage_.subspan(size_); }
  void filled(std::size_t count) { size_ += count; }
  /// What is buffered.
  std::string_view buffered() const { return {storage_.data(), size_}; }
  /// Forgets what is buffered.
  void discard() { size_ = 0; }

 private:
  OutputDevice& device_;
  std::span<char> storage_;
  std::size_t size_ = 0;
};

}  // namespace fc

#endif  // FC_CONSOLE_BUFFERED_OUTPUT_H_
