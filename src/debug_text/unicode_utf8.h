#ifndef FC_DEBUG_TEXT_UNICODE_UTF8_H_
#define FC_DEBUG_TEXT_UNICODE_UTF8_H_

#include <cstddef>
#include <cstdint>

namespace fc {

/// One character read from UTF-8 text.
struct Utf8Char {
  char32_t code_point;
  /// Bytes taken, 1 to 4; 0 when the bytes do not start a well-formed
  /// sequence (then `code_point` is meaningless).
  std::uint8_t length;
};

/// Reads the character that starts at `bytes`, of which `available` (at least
/// one) may be read. Never reads past them. Accepts exactly the well-formed
/// sequences of Unicode (no overlong forms, no surrogates, nothing above
/// U+10FFFF); a bad lead byte, a bad continuation byte or a sequence cut short
/// by the end gives length 0.
inline Utf8Char decode_utf8(const unsigned char* bytes, std::size_t available) {
  constexpr Utf8Char kMalformed = {0, 0};
  const unsigned lead = bytes[0];
  if (lead < 0x80) return {lead, 1};
  // The second byte's range narrows after E0, ED, F0 and F4 so that overlong
  // forms, surrogates and code points above U+10FFFF are refused.
  unsigned low = 0x80;
  unsigned high = 0xBF;
  std::size_t length;
  char32_t cp;
  if (lead < 0xC2) {
    return kMalformed;
  } else if (lead < 0xE0) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead < 0xF0) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead < 0xF5) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kMalformed;
  }
  if (available < length || bytes[1] < low || bytes[1] > high) return kMalformed;
  cp = (cp << 6) | (bytes[1] & 0x3F);
  for (std::size_t i = 2; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return kMalformed;
    cp = (cp << 6) | (bytes[i] & 0x3F);
  }
  return {cp, static_cast<std::uint8_t>(length)};
}

}  // namespace fc

#endif  // FC_DEBUG_TEXT_UNICODE_UTF8_H_
