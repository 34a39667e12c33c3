#include "debug_text/quoted.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "debug_text/unicode_classes.h"
#include "debug_text/utf.h"

namespace fc {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// Marks with its high bit each byte of `word` that is not printable ASCII or
// is a double quote or a backslash. Borrows and carries can mark extra bytes,
// but only above a byte that is rightly marked, so the lowest mark is exact.
std::uint64_t special_bytes(std::uint64_t word) {
  std::uint64_t below_space = (word - kOnes * 0x20) & ~word;
  std::uint64_t from_delete = (word + kOnes * 0x01) | word;
  std::uint64_t quote = word ^ (kOnes * '"');
  quote = (quote - kOnes) & ~quote;
  std::uint64_t backslash = word ^ (kOnes * '\\');
  backslash = (backslash - kOnes) & ~backslash;
  return (below_space | from_delete | quote | backslash) & kHighBits;
}

std::uint64_t load_little_endian(const unsigned char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = std::byteswap(word);
  return word;
}

bool is_plain(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\';
}

// The first marked byte of an eight-byte word at `at`, or `at + 8`.
std::size_t skip_plain_word(const unsigned char* bytes, std::size_t at) {
  std::uint64_t marks = special_bytes(load_little_endian(bytes + at));
  return marks == 0 ? at + 8 : at + static_cast<std::size_t>(std::countr_zero(marks)) / 8;
}

constexpr std::size_t kBlockSize = 128;

// Whether a block holds any byte that is not plain. Each byte gives its
// offset from 0x20, or 0xFF for a quote or backslash; the block has such a
// byte when the largest value is above 0x7E - 0x20. A running maximum over the
// whole block, with no early exit, so that the compiler turns it into a few
// vector instructions per 16 bytes.
bool block_has_special(const unsigned char* bytes) {
  unsigned char highest = 0;
  for (std::size_t i = 0; i < kBlockSize; ++i) {
    const unsigned char byte = bytes[i];
    const auto offset = static_cast<unsigned char>(byte - 0x20);
    const auto quote_or_backslash =
        static_cast<unsigned char>(-static_cast<unsigned char>((byte == '"') | (byte == '\\')));
    highest = std::max({highest, offset, quote_or_backslash});
  }
  return highest > 0x7E - 0x20;
}

// The position of the first byte from `at` on that is not printable ASCII or
// is a double quote or a backslash, or `size`. One word is tried first, as
// runs between escapes are often short; long runs go by whole blocks, and the
// block that holds the byte is searched word by word.
std::size_t skip_plain(const unsigned char* bytes, std::size_t at, std::size_t size) {
  if (size - at >= 8) {
    std::size_t next = skip_plain_word(bytes, at);
    if (next < at + 8) return next;
    at = next;
  }
  while (size - at >= kBlockSize && !block_has_special(bytes + at)) at += kBlockSize;
  while (size - at >= 8) {
    std::size_t next = skip_plain_word(bytes, at);
    if (next < at + 8) return next;
    at = next;
  }
  while (at < size && is_plain(bytes[at])) ++at;
  return at;
}

// Room for the longest escape, `\u{10ffff}`.
using EscapeBuffer = char[12];

std::string_view hex_escape(char32_t value, EscapeBuffer& buffer) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::size_t digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  std::size_t n = 0;
  buffer[n++] = '\\';
  buffer[n++] = 'u';
  buffer[n++] = '{';
  while (digits > 0) buffer[n++] = kHexDigits[(value >> (4 * --digits)) & 0xF];
  buffer[n++] = '}';
  return std::string_view(buffer, n);
}

// The escape that stands for `cp`, or an empty view when it is written as
// itself.
std::string_view escape_of(char32_t cp, EscapeBuffer& buffer) {
  switch (cp) {
    case U'\0': return "\\0";
    case U'\t': return "\\t";
    case U'\n': return "\\n";
    case U'\r': return "\\r";
    case U'"': return "\\\"";
    case U'\\': return "\\\\";
    case U'\'': return {};
    default: break;
  }
  if (cp >= 0x300 && is_grapheme_extend(cp)) return hex_escape(cp, buffer);
  if (is_printable(cp)) return {};
  return hex_escape(cp, buffer);
}

}  // namespace

void write_quoted(std::string_view text, TextSink& sink) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  sink.write("\"");
  std::size_t run_start = 0;
  std::size_t at = 0;
  while ((at = skip_plain(bytes, at, size)) < size) {
    Utf8Sequence next = decode_utf8(text.substr(at));
    EscapeBuffer buffer;
    std::string_view escape;
    std::size_t length = next.length;
    if (!next.well_formed) {
      // Not UTF-8: the first byte on its own. The other bytes of the
      // ill-formed part are continuation bytes, escaped in turn the same way.
      escape = hex_escape(bytes[at], buffer);
      length = 1;
    } else {
      escape = escape_of(next.code_point, buffer);
    }
    if (!escape.empty()) {
      if (at > run_start) sink.write(text.substr(run_start, at - run_start));
      sink.write(escape);
      run_start = at + length;
    }
    at += length;
  }
  if (size > run_start) sink.write(text.substr(run_start));
  sink.write("\"");
}

}  // namespace fc
