#include "console/buffered_output.h"

#include <cstring>

namespace fc {

Status BufferedOutput::write(std::string_view piece) {
  if (piece.size() > storage_.size() - size_) {
    if (Status status = flush(); !status.ok()) return status;
  }
  if (piece.size() >= storage_.size()) return write_all(device_, piece);
  if (!piece.empty()) std::memcpy(storage_.data() + size_, piece.data(), piece.size());
  size_ += piece.size();
  return {};
}

Status BufferedOutput::flush() {
  std::string_view pending(storage_.data(), size_);
  while (!pending.empty()) {
    Result<std::size_t> taken = device_.write_some(pending);
    if (taken && *taken > 0) {
      pending.remove_prefix(*taken);
      continue;
    }
    if (!taken && taken.error().is_interrupted()) continue;
    // Keep what the device has not taken, so that nothing is reordered later.
    std::memmove(storage_.data(), pending.data(), pending.size());
    size_ = pending.size();
    if (!taken) return std::move(taken.error());
    return IoError::from_fixed(kFlushWriteZero);
  }
  size_ = 0;
  return {};
}

}  // namespace fc
