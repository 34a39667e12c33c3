#ifndef FC_MAIN_LINE_WRITER_H_
#define FC_MAIN_LINE_WRITER_H_

#include <cstddef>
#include <string_view>

#include "console/buffered_output.h"
#include "console/std_streams.h"
#include "debug_text/text_sink.h"

namespace fc {

/// A line-buffered writer with a 1024-byte buffer: a line reaches the device
/// in one write when its "\n" is written (if it fits the buffer); text after
/// the last "\n" waits for the next line or for flush(). The first failure of
/// the device refuses that piece and every later one, and is kept.
class LineWriter final : public TextSink {
 public:
  static constexpr std::size_t kCapacity = 1024;

  explicit LineWriter(OutputDevice& device) : out_(device, buffer_) {}

  /// Hands whatever is buffered to the device.
  Status flush() { return out_.flush(); }
  /// The failure that refused a piece; success while none was refused.
  const Status& status() const { return status_; }

 private:
  bool put(std::string_view piece) override;
  Status write_lines(std::string_view piece);

  char buffer_[kCapacity];
  BufferedOutput out_;
  Status status_;
};

/// The process's buffered standard output.
LineWriter& stdout_writer();

}  // namespace fc

#endif  // FC_MAIN_LINE_WRITER_H_
