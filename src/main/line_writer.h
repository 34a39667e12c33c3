#ifndef FC_MAIN_LINE_WRITER_H_
#define FC_MAIN_LINE_WRITER_H_

#include <cstddef>
#include <string_view>

#include "console/std_streams.h"
#include "debug_text/text_sink.h"

namespace fc {

/// A line-buffered writer with a 1024-byte buffer: a line reaches the device
/// in one write when its "\n" is written (if it fits the buffer); text after
/// the last "\n" waits for the next line or for flush().
class LineWriter final : public TextSink {
 public:
  static constexpr std::size_t kCapacity = 1024;

  explicit LineWriter(OutputDevice& device) : device_(device) {}

  Status write(std::string_view piece) override;
  /// Hands whatever is buffered to the device.
  Status flush();

  std::string_view buffered() const { return {buffer_, size_}; }

 private:
  Status write_unterminated(std::string_view piece);
  void append(std::string_view piece);

  OutputDevice& device_;
  char buffer_[kCapacity];
  std::size_t size_ = 0;
};

/// The process's buffered standard output.
LineWriter& stdout_writer();

}  // namespace fc

#endif  // FC_MAIN_LINE_WRITER_H_
