#ifndef FC_CONSOLE_STD_STREAMS_H_
#define FC_CONSOLE_STD_STREAMS_H_

#include <cstddef>
#include <string_view>

#include "error/io_error.h"

namespace fc {

/// A byte sink of the platform: standard output or standard error.
class OutputDevice {
 public:
  /// One write: how many bytes the device took. A missing device takes and
  /// discards everything.
  virtual Result<std::size_t> write_some(std::string_view bytes) = 0;

 protected:
  ~OutputDevice() = default;
};

/// Takes note of the standard streams the process was started without and
/// keeps their places from being handed out again, so that nothing opened
/// later (a socket) can receive text meant for them. Writes to such a stream
/// are discarded; a stream that is there but refuses writes is a failure.
/// Called once, before anything is opened.
void claim_standard_streams();

/// The process's standard output and standard error devices.
OutputDevice& stdout_device();
OutputDevice& stderr_device();

/// Writes every byte: zero bytes taken is a WriteZero error, an interrupted
/// write is retried.
Status write_all(OutputDevice& device, std::string_view bytes);

/// Writes to standard error, unbuffered.
Status write_stderr(std::string_view text);

}  // namespace fc

#endif  // FC_CONSOLE_STD_STREAMS_H_
