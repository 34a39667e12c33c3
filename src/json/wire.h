#ifndef FC_JSON_WIRE_H_
#define FC_JSON_WIRE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The wire both programs share: the frame's prefix, and the endpoint where
// the client sends its frame and the receiver listens unless told otherwise.

namespace fc {

/// The bytes of the length prefix before each payload.
inline constexpr std::size_t kFramePrefixSize = 4;

/// The endpoint as the client's text, and as its address and port.
inline constexpr std::string_view kEndpointText = "127.0.0.1:12345";
inline constexpr std::array<std::uint8_t, 4> kEndpointAddress{127, 0, 0, 1};
inline constexpr std::uint16_t kEndpointPort = 12345;

}  // namespace fc

#endif  // FC_JSON_WIRE_H_
