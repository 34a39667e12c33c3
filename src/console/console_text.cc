#include "console/console_text.h"

#include <algorithm>

#include "debug_text/unicode_utf8.h"

namespace fc {
namespace {

std::size_t utf16_units(char32_t code_point) { return code_point >= 0x10000 ? 2 : 1; }

}  // namespace

std::size_t utf8_chunk_length(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  // Only a sequence that starts at most three bytes before the cut, with
  // continuation bytes up to the cut, can reach across it.
  std::size_t start = limit;
  while (start > 0 && limit - start < 3 && is_utf8_continuation(text[start])) --start;
  if (start < limit && start + decode_utf8(text.substr(start)).length > limit) return start;
  return limit;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  while (!text.empty()) {
    Utf8Sequence c = decode_utf8(text);
    if (c.code_point >= 0x10000) {
      char32_t v = c.code_point - 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      wide.push_back(static_cast<char16_t>(c.code_point));
    }
    text.remove_prefix(c.length);
  }
  return wide;
}

std::size_t utf8_length_of_units(std::string_view text, std::size_t units) {
  std::size_t bytes = 0;
  while (bytes < text.size() && units > 0) {
    Utf8Sequence c = decode_utf8(text.substr(bytes));
    units -= std::min(units, utf16_units(c.code_point));
    bytes += c.length;
  }
  return bytes;
}

Result<std::size_t> ConsoleWriter::write_some(std::string_view text, WideConsole& console) {
  if (held_stop_) {
    Result<std::size_t> stop = std::move(*held_stop_);
    held_stop_.reset();
    return stop;
  }
  std::string_view chunk = text.substr(0, utf8_chunk_length(text));
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
