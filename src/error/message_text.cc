#include "error/message_text.h"

#include <cstddef>
#include <cstdint>

namespace fc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t code_point) {
  auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
  std::uint32_t c = code_point;
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

// The shape of a well-formed sequence that starts with `lead`: its length and
// the range allowed for its second byte (later bytes are always 80..BF).
struct SequenceShape {
  std::size_t length = 0;  // 0: the byte cannot start a sequence
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

SequenceShape shape_of(unsigned char lead) {
  if (lead < 0x80) return {1};
  if (lead >= 0xC2 && lead <= 0xDF) return {2};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};  // no surrogates
  if (lead >= 0xE1 && lead <= 0xEF) return {3};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4};
  if (lead == 0xF4) return {4, 0x80, 0x8F};  // nothing above U+10FFFF
  return {};
}

// The length of the well-formed sequence at `at`, or of the maximal ill-formed
// part there (returned as a negative count).
std::ptrdiff_t sequence_at(std::string_view bytes, std::size_t at) {
  SequenceShape shape = shape_of(static_cast<unsigned char>(bytes[at]));
  if (shape.length == 0) return -1;
  std::size_t next = at + 1;
  for (std::size_t k = 1; k < shape.length; ++k, ++next) {
    if (next >= bytes.size()) return -static_cast<std::ptrdiff_t>(next - at);
    auto byte = static_cast<unsigned char>(bytes[next]);
    unsigned char low = k == 1 ? shape.low : 0x80;
    unsigned char high = k == 1 ? shape.high : 0xBF;
    if (byte < low || byte > high) return -static_cast<std::ptrdiff_t>(next - at);
  }
  return static_cast<std::ptrdiff_t>(shape.length);
}

char32_t decode(std::string_view sequence) {
  auto byte = [&sequence](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(sequence[i]));
  };
  switch (sequence.size()) {
    case 1: return byte(0);
    case 2: return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3: return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
      return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
             (byte(3) & 0x3F);
  }
}

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

void trim_trailing_white_space(std::string& text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && is_continuation(text[start])) --start;
    std::string_view last(text.data() + start, end - start);
    // Only a whole, well-formed character can be white space.
    if (sequence_at(last, 0) != static_cast<std::ptrdiff_t>(last.size())) break;
    if (!is_white_space(decode(last))) break;
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
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::ptrdiff_t length = sequence_at(bytes, at);
    if (length > 0) {
      out.append(bytes.substr(at, static_cast<std::size_t>(length)));
      at += static_cast<std::size_t>(length);
    } else {
      append_utf8(out, kReplacement);
      at += static_cast<std::size_t>(-length);
    }
  }
  return out;
}

}  // namespace fc
