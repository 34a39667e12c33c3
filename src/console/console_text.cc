#include "console/console_text.h"

#include <algorithm>

#include "debug_text/utf.h"

namespace fc {

Result<std::size_t> ConsoleWriter::write_some(std::string_view text, WideConsole& console) {
  if (held_stop_) {
    Result<std::size_t> stop = std::move(*held_stop_);
    held_stop_.reset();
    return stop;
  }
  std::string_view chunk = text.substr(0, utf8_chunk_length(text, kConsoleChunkBytes));
  std::u16string wide = utf8_to_utf16(chunk);
  std::size_t written = 0;
  while (written < wide.size()) {
    Result<std::size_t> taken = console.write_units(std::u16string_view(wide).substr(written));
    if (taken && *taken > 0) {
      written += std::min(*taken, wide.size() - written);
      continue;
    }
    if (written == 0) return taken;
    held_stop_ = std::move(taken);
    break;
  }
  return utf8_length_of_units(chunk, written);
}

}  // namespace fc
