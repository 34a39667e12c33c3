#ifndef FC_CONSOLE_STD_STREAMS_H_
#define FC_CONSOLE_STD_STREAMS_H_

#include <cstddef>
#include <cstdint>
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

/// A socket or file the process has just opened, kept out of the standard
/// streams' places: on POSIX a descriptor that landed in one (possible only
/// where claim_standard_streams() could not hold it) moves above them, or is
/// closed and refused as too many open files where the descriptor limit
/// leaves no room there. A Windows handle never takes such a place.
Result<std::uint64_t> clear_of_standard_streams(std::uint64_t handle);

/// The process's standard output and standard error devices.
OutputDevice& stdout_device();
OutputDevice& stderr_device();

/// Writes every byte: zero bytes taken is a WriteZero error, an interrupted
/// write is retried.
Status write_all(OutputDevice& device, std::string_view bytes);

/// Waits until standard output, after it refused a write that would have had
/// to wait (a non-blocking stream that is full), may take bytes again. A
/// signal or a failure ends the wait too: the next write tells.
void wait_for_stdout_room();

/// Writes to standard error, unbuffered.
Status write_stderr(std::string_view text);

}  // namespace fc

#endif  // FC_CONSOLE_STD_STREAMS_H_
