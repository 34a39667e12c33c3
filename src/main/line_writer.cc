#include "main/line_writer.h"

namespace fc {

bool LineWriter::put(std::string_view piece) {
  status_ = write_lines(piece);
  return status_.ok();
}

Status LineWriter::write_lines(std::string_view piece) {
  std::size_t last_newline = piece.rfind('\n');
  if (last_newline == std::string_view::npos) return out_.write(piece);
  // The lines go out at once: in one write with what is buffered when they
  // fit beside it.
  if (Status s = out_.write(piece.substr(0, last_newline + 1)); !s.ok()) return s;
  if (Status s = out_.flush(); !s.ok()) return s;
  return out_.write(piece.substr(last_newline + 1));
}

LineWriter& stdout_writer() {
  static LineWriter writer(stdout_device());
  return writer;
}

}  // namespace fc
