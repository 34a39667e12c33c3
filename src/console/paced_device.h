#ifndef FC_CONSOLE_PACED_DEVICE_H_
#define FC_CONSOLE_PACED_DEVICE_H_

#include <chrono>
#include <cstddef>
#include <string_view>

#include "console/std_streams.h"
#include "error/io_error.h"

namespace fc {

/// A device in front of another, for a program that must not let a slow
/// output stall or fool it. A write that the device refused because it would
/// have had to wait is waited for (through the device) and comes back as
/// Interrupted, for the writer to try again, as write_all and BufferedOutput
/// do; once `give_up` says so, a write fails with kStoppedWhileBlocked
/// instead, as does one that failed while a stop was asked for again. The
/// time that writes kept the program waiting is counted, and the last byte
/// the device took is known.
class PacedDevice final : public OutputDevice {
 public:
  /// Whether a write that waits should be given up.
  using GiveUp = bool (*)();

  PacedDevice(OutputDevice& device, GiveUp give_up) : device_(device), give_up_(give_up) {}

  Result<std::size_t> write_some(std::string_view bytes) override;
  void wait_for_room() override { device_.wait_for_room(); }

  /// How long writes have kept the program waiting, in all.
  std::chrono::steady_clock::duration time_writing() const { return time_writing_; }
  /// The last byte the device took; a line end before the first.
  char last_byte() const { return last_byte_; }

 private:
  bool giving_up() const { return give_up_ != nullptr && give_up_(); }

  OutputDevice& device_;
  GiveUp give_up_;
  std::chrono::steady_clock::duration time_writing_{};
  char last_byte_ = '\n';
};

}  // namespace fc

#endif  // FC_CONSOLE_PACED_DEVICE_H_
