#ifndef FC_RECEIVER_LENGTH_DIAGNOSIS_H_
#define FC_RECEIVER_LENGTH_DIAGNOSIS_H_

#include <cstdint>
#include <span>
#include <string>

// Why a refused frame length may be no length at all: its four bytes can be
// the start of another protocol, of text sent without a prefix, or a length
// written in the wrong byte order.

namespace fc::receiver {

/// The longest payload any frame may have, whatever the memory budget.
inline constexpr std::uint32_t kLargestFrameLimit = 16u << 20;

/// What follows "frame length N exceeds the limit of L bytes" for a refused
/// `prefix`, `limit` being L: the four bytes in hex and as quoted text, then
/// what they look like when they look like something, as in
///   : its first bytes 47 45 54 20 ("GET ") look like an HTTP request, not a
///   length-prefixed frame
/// In the text, bytes from 0x20 to 0x7e stand as themselves, '"' and '\'
/// after a backslash; every other byte is \xNN.
std::string describe_refused_prefix(std::span<const std::uint8_t, 4> prefix, std::uint32_t limit);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_LENGTH_DIAGNOSIS_H_
