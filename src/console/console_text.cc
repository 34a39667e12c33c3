#include "console/console_text.h"

#include <algorithm>
#include <cstdint>

namespace fc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length a lead byte announces; 1 for bytes that cannot lead.
std::size_t announced_length(unsigned char lead) {
  if (lead >= 0xC0 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF7) return 4;
  return 1;
}

struct Decoded {
  char32_t code_point;
  std::size_t length;  // bytes consumed, at least 1
};

// Decodes the character at the start of `text` (not empty). An ill-formed
// sequence gives U+FFFD and consumes its maximal valid prefix, at least one
// byte, so that decoding resumes at the first byte that broke it.
Decoded decode_one(std::string_view text) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};

  std::size_t length;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  char32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) second_low = 0xA0;   // no overlong forms
    if (lead == 0xED) second_high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) second_low = 0x90;   // no overlong forms
    if (lead == 0xF4) second_high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {kReplacement, 1};
  }

  for (std::size_t i = 1; i < length; ++i) {
    if (i >= text.size()) return {kReplacement, i};
    unsigned char next = byte(i);
    unsigned char low = i == 1 ? second_low : 0x80;
    unsigned char high = i == 1 ? second_high : 0xBF;
    if (next < low || next > high) return {kReplacement, i};
    value = (value << 6) | (next & 0x3F);
  }
  return {value, length};
}

std::size_t utf16_units(char32_t code_point) { return code_point >= 0x10000 ? 2 : 1; }

}  // namespace

std::size_t utf8_chunk_length(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  if (!is_continuation(static_cast<unsigned char>(text[cut]))) return cut;
  // The cut lands on a continuation byte: find the lead of its sequence.
  for (std::size_t back = 1; back <= 3 && back <= cut; ++back) {
    auto byte = static_cast<unsigned char>(text[cut - back]);
    if (is_continuation(byte)) continue;
    return cut - back + announced_length(byte) > cut ? cut - back : cut;
  }
  return cut;  // a stray continuation byte: nothing to keep together
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  while (!text.empty()) {
    Decoded c = decode_one(text);
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
  while (bytes < text.size()) {
    Decoded c = decode_one(text.substr(bytes));
    std::size_t needed = utf16_units(c.code_point);
    if (needed > units) break;
    units -= needed;
    bytes += c.length;
  }
  return bytes;
}

Result<std::size_t> write_console_text(std::string_view text, WideConsole& console) {
  std::string_view chunk = text.substr(0, utf8_chunk_length(text));
  std::u16string wide = utf8_to_utf16(chunk);
  std::size_t written = 0;
  while (written < wide.size()) {
    Result<std::size_t> taken = console.write_units(std::u16string_view(wide).substr(written));
    if (!taken) {
      if (written == 0) return taken;
      break;  // report the progress; the next write meets the error again
    }
    if (*taken == 0) break;
    written += std::min(*taken, wide.size() - written);
  }
  return written == wide.size() ? chunk.size() : utf8_length_of_units(chunk, written);
}

}  // namespace fc
