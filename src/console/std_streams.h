#ifndef FC_CONSOLE_STD_STREAMS_H_
#define FC_CONSOLE_STD_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "error/io_error.h"

namespace fc {

/// A byte sink: standard output or standard error, or a connection.
class OutputDevice {
 public:
  /// One write: how many bytes the device took. A missing device takes and
  /// discards everything.
  virtual Result<std::size_t> write_some(std::string_view bytes) = 0;
  /// Waits until a device that refused a write because it would have had to
  /// wait (a non-blocking stream that is full) may take bytes again. A
  /// request to stop (interrupts.h) or a failure ends the wait too: the next
  /// write tells.
  virtual void wait_for_room() {}
  /// One write that never waits: a device that cannot take the bytes at once
  /// refuses them with WouldBlock. For a last line written after a second
  /// request to stop, when nothing may wait any more.
  virtual Result<std::size_t> write_at_once(std::string_view bytes) { return write_some(bytes); }

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
/// write is retried. The one loop of the programs that writes a whole
/// buffer, to a standard stream or to a connection.
Status write_all(OutputDevice& device, std::string_view bytes);

/// Writes to standard error, unbuffered.
Status write_stderr(std::string_view text);

}  // namespace fc

#endif  // FC_CONSOLE_STD_STREAMS_H_
