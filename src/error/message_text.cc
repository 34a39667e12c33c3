#include "error/message_text.h"

#include <cstddef>

#include "debug_text/unicode_utf8.h"

namespace fc {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

void trim_trailing_white_space(std::string& text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && is_utf8_continuation(text[start])) --start;
    Utf8Sequence last = decode_utf8(std::string_view(text).substr(start, end - start));
    // Only a whole, well-formed character can be white space.
    if (!last.well_formed || last.length != end - start) break;
    if (!is_white_space(last.code_point)) break;
    end = start;
  }
  text.resize(end);
}

std::optional<std::string> utf16_to_utf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == units.size()) return std::nullopt;
      char32_t low = units[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    append_utf8(out, unit);
  }
  return out;
}

std::string to_valid_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    // An ill-formed part decodes as U+FFFD; a well-formed sequence encodes
    // back to its own bytes.
    Utf8Sequence next = decode_utf8(bytes);
    append_utf8(out, next.code_point);
    bytes.remove_prefix(next.length);
  }
  return out;
}

}  // namespace fc
