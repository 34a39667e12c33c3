#include "debug_text/utf.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace fc {
namespace {

constexpr char32_t kFirstHighSurrogate = 0xD800;
constexpr char32_t kFirstLowSurrogate = 0xDC00;
constexpr char32_t kLastLowSurrogate = 0xDFFF;
constexpr char32_t kFirstPairedCodePoint = 0x10000;

bool is_high_surrogate(char32_t unit) {
  return unit >= kFirstHighSurrogate && unit < kFirstLowSurrogate;
}
bool is_low_surrogate(char32_t unit) {
  return unit >= kFirstLowSurrogate && unit <= kLastLowSurrogate;
}

void append_utf16(std::u16string& out, char32_t code_point) {
  if (code_point < kFirstPairedCodePoint) {
    out.push_back(static_cast<char16_t>(code_point));
    return;
  }
  char32_t offset = code_point - kFirstPairedCodePoint;
  out.push_back(static_cast<char16_t>(kFirstHighSurrogate + (offset >> 10)));
  out.push_back(static_cast<char16_t>(kFirstLowSurrogate + (offset & 0x3FF)));
}

char32_t from_surrogate_pair(char32_t high, char32_t low) {
  return kFirstPairedCodePoint + ((high - kFirstHighSurrogate) << 10) + (low - kFirstLowSurrogate);
}

}  // namespace

// ASCII goes eight bytes at a time; every other sequence is decoded, and an
// ill-formed one is U+FFFD from other bytes than its own encoding.
bool is_utf8(std::string_view text) {
  constexpr std::uint64_t kTops = 0x8080808080808080;
  while (!text.empty()) {
    std::uint64_t eight = 0;
    if (text.size() >= 8 && (std::memcpy(&eight, text.data(), 8), eight & kTops) == 0) {
      text.remove_prefix(8);
      continue;
    }
    Utf8Sequence c = decode_utf8(text);
    if (c.code_point == kReplacementCharacter && !text.starts_with("\xEF\xBF\xBD")) return false;
    text.remove_prefix(c.length);
  }
  return true;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  while (!text.empty()) {
    Utf8Sequence c = decode_utf8(text);
    append_utf16(wide, c.code_point);
    text.remove_prefix(c.length);
  }
  return wide;
}

std::optional<std::string> utf16_to_utf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (is_low_surrogate(unit)) return std::nullopt;
    if (is_high_surrogate(unit)) {
      if (i + 1 == units.size() || !is_low_surrogate(units[i + 1])) return std::nullopt;
      unit = from_surrogate_pair(unit, units[++i]);
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

std::size_t utf8_chunk_length(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  // Only a sequence that starts at most three bytes before the cut, with
  // continuation bytes up to the cut, can reach across it.
  std::size_t start = limit;
  while (start > 0 && limit - start < 3 && is_utf8_continuation(text[start])) --start;
  if (start < limit && start + decode_utf8(text.substr(start)).length > limit) return start;
  return limit;
}

std::size_t utf8_length_of_units(std::string_view text, std::size_t units) {
  std::size_t bytes = 0;
  while (bytes < text.size() && units > 0) {
    Utf8Sequence c = decode_utf8(text.substr(bytes));
    units -= std::min(units, utf16_length(c.code_point));
    bytes += c.length;
  }
  return bytes;
}

}  // namespace fc
