#include "receiver/hex_dump.h"

#include <algorithm>
#include <cstring>

namespace fc::receiver {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
// Where the text column's '|' stands, whatever the line's length.
constexpr std::size_t kTextColumn = 60;

void write_offset(std::uint32_t offset, char* out) {
  for (int i = 7; i >= 0; --i) {
    out[i] = kHexDigits[offset & 0xf];
    offset >>= 4;
  }
}

}  // namespace

std::size_t hex_dump_line(std::span<const std::uint8_t> bytes, std::uint32_t offset, char* out) {
  // More would overrun a buffer sized for the longest line.
  bytes = bytes.first(std::min(bytes.size(), kHexDumpLineBytes));
  write_offset(offset, out);
  // Spaces first: they fill what no byte takes, so that the text column
  // lines up on a short line too.
  std::memset(out + 8, ' ', kTextColumn - 8);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    // Two spaces after the offset, and one more after the eighth byte.
    char* pair = out + 10 + 3 * i + (i >= 8 ? 1 : 0);
    pair[0] = kHexDigits[bytes[i] >> 4];
    pair[1] = kHexDigits[bytes[i] & 0xf];
  }
  char* text = out + kTextColumn;
  *text++ = '|';
  for (std::uint8_t byte : bytes) {
    *text++ = byte >= 0x20 && byte <= 0x7e ? static_cast<char>(byte) : '.';
  }
  *text++ = '|';
  *text++ = '\n';
  return static_cast<std::size_t>(text - out);
}

std::size_t hex_dump_end(std::uint32_t length, char* out) {
  write_offset(length, out);
  out[8] = '\n';
  return kHexDumpEndLength;
}

}  // namespace fc::receiver
