#ifndef FC_RECEIVER_HEX_DUMP_H_
#define FC_RECEIVER_HEX_DUMP_H_

#include <cstddef>
#include <cstdint>
#include <span>

// Bytes shown in the layout of "hexdump -C", without its squeezing of
// repeated lines, a line at a time so that a long payload needs no text of
// its whole dump at once:
//
//   00000000  7b 22 69 64 22 3a 22 33  22 2c 22 6d 65 73 73 61  |{"id":"3","messa|
//   00000010  67                                                |g|
//   00000011

namespace fc::receiver {

/// The bytes one line shows.
inline constexpr std::size_t kHexDumpLineBytes = 16;
/// The longest line, a full one, its line end included.
inline constexpr std::size_t kHexDumpLineMax = 79;
/// The length of the final line, the total length, its line end included.
inline constexpr std::size_t kHexDumpEndLength = 9;

/// Writes the line for `bytes`, at most kHexDumpLineBytes of them (any more
/// are left out), that begin `offset` bytes into the dump, at `out`. Returns
/// its length, at most kHexDumpLineMax.
std::size_t hex_dump_line(std::span<const std::uint8_t> bytes, std::uint32_t offset, char* out);

/// Writes the final line, the dump's total `length` alone, at `out`. Returns
/// kHexDumpEndLength.
std::size_t hex_dump_end(std::uint32_t length, char* out);

/// The length of the whole dump of `size` bytes, its final line included.
constexpr std::size_t hex_dump_length(std::size_t size) {
  const std::size_t lines = (size + kHexDumpLineBytes - 1) / kHexDumpLineBytes;
  return lines * (kHexDumpLineMax - kHexDumpLineBytes) + size + kHexDumpEndLength;
}

}  // namespace fc::receiver

#endif  // FC_RECEIVER_HEX_DUMP_H_
