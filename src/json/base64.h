#ifndef FC_JSON_BASE64_H_
#define FC_JSON_BASE64_H_

#include <cstddef>
#include <cstdint>
#include <span>

// Standard base64 (RFC 4648): the alphabet A-Z a-z 0-9 + /, padded with '='.

namespace fc {

/// The length of the base64 text of `n` bytes, padding included.
constexpr std::size_t base64_length(std::size_t n) { return (n + 2) / 3 * 4; }

/// Writes `in` as base64 at `out`, which has room for base64_length(in.size())
/// chars, and returns that length. A long input can go in pieces, one after
/// another, when each piece but the last is a multiple of 3 bytes long: only
/// the last one can need padding.
std::size_t base64_encode(std::span<const std::uint8_t> in, char* out);

}  // namespace fc

#endif  // FC_JSON_BASE64_H_
