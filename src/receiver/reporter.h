#ifndef FC_RECEIVER_REPORTER_H_
#define FC_RECEIVER_REPORTER_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/paced_device.h"
#include "console/std_streams.h"

namespace fc::receiver {

/// frame-sink's standard error, and its exit status. Every line it writes
/// begins "frame-sink: "; a fault makes the status 1. It writes as the line
/// output does (PacedDevice): time spent waiting for standard error counts
/// against no peer, and a second request to stop ends a write that waits. A
/// line that could not be written is counted, and a line that a failed write
/// cut short is ended before the next.
class Reporter {
 public:
  explicit Reporter(OutputDevice& device, PacedDevice::GiveUp give_up = nullptr)
      : device_(device), paced_(device, give_up) {}

  /// A line that tells of no fault ("listening on ...").
  void note(std::string_view text);
  /// A fault: the exit status becomes 1. `then`, lines of their own (the
  /// usage), follows it in the same write.
  void fault(std::string_view text, std::string_view then = {});
  /// A fault of connection `number`, as "connection N: " and the text.
  void fault(std::uint64_t number, std::string_view text);
  /// A last line after a second request to stop, a fault unless told
  /// otherwise: written only if standard error takes it at once, for nothing
  /// may wait any more.
  void last_fault(std::string_view text, bool fault = true);
  /// The note of the lines not written, if any were not.
  void finish();
  /// Memory ran out: the fault is told without taking any.
  void out_of_memory();

  int status() const { return faults_ > 0 ? 1 : 0; }
  /// How many faults were reported.
  std::uint64_t faults() const { return faults_; }
  std::uint64_t unwritten() const { return unwritten_; }
  std::chrono::steady_clock::duration time_writing() const { return paced_.time_writing(); }

 private:
  std::string line(std::string_view text, std::string_view then = {}) const;
  void write(std::string_view text);

  OutputDevice& device_;
  PacedDevice paced_;
  std::uint64_t faults_ = 0;
  std::uint64_t unwritten_ = 0;
};

/// "1 line", "2 lines".
std::string counted(std::uint64_t count, std::string_view noun);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_REPORTER_H_
