#include "console/std_streams.h"

namespace fc {

Status write_all(OutputDevice& device, std::string_view bytes) {
  while (!bytes.empty()) {
    Result<std::size_t> taken = device.write_some(bytes);
    if (!taken) {
      if (taken.error().is_interrupted()) continue;
      return std::move(taken.error());
    }
    if (*taken == 0) return IoError::from_fixed(kWriteZero);
    bytes.remove_prefix(*taken);
  }
  return {};
}

Status write_stderr(std::string_view text) { return write_all(stderr_device(), text); }

}  // namespace fc
