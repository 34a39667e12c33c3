#include "main/line_writer.h"

#include <cstring>

namespace fc {

void LineWriter::append(std::string_view piece) {
  std::memcpy(buffer_ + size_, piece.data(), piece.size());
  size_ += piece.size();
}

Status LineWriter::flush() {
  if (size_ == 0) return {};
  std::string_view pending(buffer_, size_);
  while (!pending.empty()) {
    Result<std::size_t> taken = device_.write_some(pending);
    if (!taken) {
      if (taken.error().is_interrupted()) continue;
      // Keep what the device has not taken, so nothing is reordered later.
      std::memmove(buffer_, pending.data(), pending.size());
      size_ = pending.size();
      return std::move(taken.error());
    }
    if (*taken == 0) {
      std::memmove(buffer_, pending.data(), pending.size());
      size_ = pending.size();
      return IoError::from_fixed(kFlushWriteZero);
    }
    pending.remove_prefix(*taken);
  }
  size_ = 0;
  return {};
}

Status LineWriter::write_unterminated(std::string_view piece) {
  if (piece.size() > kCapacity - size_) {
    if (Status s = flush(); !s.ok()) return s;
  }
  if (piece.size() >= kCapacity) return write_all(device_, piece);
  append(piece);
  return {};
}

bool LineWriter::put(std::string_view piece) {
  status_ = write_lines(piece);
  return status_.ok();
}

Status LineWriter::write_lines(std::string_view piece) {
  std::size_t last_newline = piece.rfind('\n');
  if (last_newline == std::string_view::npos) return write_unterminated(piece);

  std::string_view lines = piece.substr(0, last_newline + 1);
  if (lines.size() <= kCapacity - size_) {
    // The common case: the whole line goes out in one write.
    append(lines);
    if (Status s = flush(); !s.ok()) return s;
  } else {
    if (Status s = flush(); !s.ok()) return s;
    if (Status s = write_all(device_, lines); !s.ok()) return s;
  }
  return write_unterminated(piece.substr(last_newline + 1));
}

LineWriter& stdout_writer() {
  static LineWriter writer(stdout_device());
  return writer;
}

}  // namespace fc
