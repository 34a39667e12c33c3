#ifndef FC_JSON_FRAME_PREFIX_H_
#define FC_JSON_FRAME_PREFIX_H_

#include <array>
#include <cstdint>
#include <span>

#include "error/io_error.h"
#include "json/json_writer.h"
#include "json/wire.h"

namespace fc {

/// A payload the frame's 32-bit length cannot describe.
inline constexpr FixedMessage kPayloadTooLarge{"payload too large for a 32-bit frame length",
                                               ErrorKind::InvalidInput};

/// The 4-byte big-endian length that precedes a payload on the wire.
using FramePrefix = std::array<std::uint8_t, kFramePrefixSize>;

/// The prefix for a payload of `size` bytes. A payload of 2^32 bytes or more
/// cannot be framed: truncating its length would put a prefix on the wire
/// that disagrees with the payload, so it is an InvalidInput error instead.
Result<FramePrefix> length_prefix_for_size(std::uint64_t size);

/// The payload length that a prefix on the wire gives.
std::uint32_t payload_length(std::span<const std::uint8_t, kFramePrefixSize> prefix);

/// The prefix for the JSON text's byte length.
Result<FramePrefix> length_prefix(const JsonText& text);

}  // namespace fc

#endif  // FC_JSON_FRAME_PREFIX_H_
