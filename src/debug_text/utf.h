#ifndef FC_DEBUG_TEXT_UTF_H_
#define FC_DEBUG_TEXT_UTF_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The program's one place for UTF-8 and UTF-16: decoding and encoding, the
// surrogate arithmetic, and the conversions and cuts the platforms need. The
// decoder and encoder are inline, as the quoted text form decodes each
// character that it cannot skip as plain ASCII.

namespace fc {

/// U+FFFD, which stands for each ill-formed part of a text.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

/// One sequence read from the start of UTF-8 text.
struct Utf8Sequence {
  /// The character; U+FFFD when the sequence is ill-formed.
  char32_t code_point;
  /// Bytes taken, 1 to 4. For ill-formed bytes, the maximal ill-formed
  /// subpart: the longest start of a well-formed sequence found there, or the
  /// first byte alone when none starts there.
  std::uint8_t length;
  bool well_formed;
};

/// Whether `byte` can only continue a sequence (10xxxxxx).
inline bool is_utf8_continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

/// Reads the sequence at the start of `text`, which must not be empty; never
/// reads past its end. Accepts exactly the well-formed sequences of Unicode:
/// no overlong forms, no surrogates, nothing above U+10FFFF. Decoding on after
/// each sequence, ill-formed ones included, gives Unicode's recommended U+FFFD
/// replacement.
inline Utf8Sequence decode_utf8(std::string_view text) {
  auto byte = [text](std::size_t i) -> unsigned { return static_cast<unsigned char>(text[i]); };
  auto ill_formed = [](std::size_t length) {
    return Utf8Sequence{kReplacementCharacter, static_cast<std::uint8_t>(length), false};
  };
  const unsigned lead = byte(0);
  if (lead < 0x80) return {lead, 1, true};
  if (lead < 0xC2 || lead > 0xF4) return ill_formed(1);
  // The second byte's range narrows after E0, ED, F0 and F4 so that overlong
  // forms, surrogates and code points above U+10FFFF are refused.
  unsigned low = 0x80;
  unsigned high = 0xBF;
  std::size_t length;
  char32_t cp;
  if (lead < 0xE0) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead < 0xF0) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  for (std::size_t i = 1; i < length; ++i) {
    // The ill-formed part ends before the first byte that cannot continue it.
    if (i == text.size() || byte(i) < low || byte(i) > high) return ill_formed(i);
    cp = (cp << 6) | (byte(i) & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {cp, static_cast<std::uint8_t>(length), true};
}

/// Appends `code_point`, at most U+10FFFF, to `out` as UTF-8. A surrogate gets
/// the three-byte form that decode_utf8 refuses.
inline void append_utf8(std::string& out, char32_t code_point) {
  auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
  const std::uint32_t c = code_point;
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

/// The UTF-16 code units `code_point` takes: two (a surrogate pair) from
/// U+10000 on, otherwise one.
inline std::size_t utf16_length(char32_t code_point) { return code_point >= 0x10000 ? 2 : 1; }

/// Whether `text` is well-formed UTF-8 throughout (as decode_utf8 reads it).
bool is_utf8(std::string_view text);

/// UTF-8 to UTF-16. Each maximal ill-formed subsequence becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

/// Strict UTF-16 to UTF-8: nothing when the units hold an unpaired surrogate.
std::optional<std::string> utf16_to_utf8(std::u16string_view units);

/// Bytes of unknown encoding as valid UTF-8: every well-formed sequence is
/// kept, every maximal ill-formed part becomes U+FFFD.
std::string to_valid_utf8(std::string_view bytes);

/// The length of the longest prefix of `text` of at most `limit` bytes that
/// does not end inside a UTF-8 sequence. Only a sequence, or a maximal
/// ill-formed part, that the cut would split is held back, so that the pieces
/// convert to the same UTF-16 as the whole text.
std::size_t utf8_chunk_length(std::string_view text, std::size_t limit);

/// How many bytes of `text` the first `units` code units of its UTF-16 form
/// come from. A character counts as soon as its first unit is included.
std::size_t utf8_length_of_units(std::string_view text, std::size_t units);

}  // namespace fc

#endif  // FC_DEBUG_TEXT_UTF_H_
