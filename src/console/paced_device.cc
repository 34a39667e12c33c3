#include "console/paced_device.h"

#include "console/interrupts.h"

namespace fc {

Result<std::size_t> PacedDevice::write_some(std::string_view bytes) {
  if (giving_up()) return std::unexpected(IoError::from_fixed(kStoppedWhileBlocked));
  auto start = std::chrono::steady_clock::now();
  Result<std::size_t> taken = device_.write_some(bytes);
  if (!taken && taken.error().kind() == ErrorKind::WouldBlock) {
    device_.wait_for_room();
    taken = std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
  }
  time_writing_ += std::chrono::steady_clock::now() - start;
  // A write the system cancelled for a second request (Windows) says so.
  if (!taken && giving_up()) return std::unexpected(IoError::from_fixed(kStoppedWhileBlocked));
  if (taken && *taken > 0) last_byte_ = bytes[*taken - 1];
  return taken;
}

}  // namespace fc
