#ifndef FC_JSON_JSON_ESCAPE_H_
#define FC_JSON_JSON_ESCAPE_H_

#include <array>
#include <cstddef>

// The escapes of a JSON string, by byte: the encoder escapes what JSON
// requires, and other writers pick the bytes they escape but write them the
// same way.

namespace fc {

/// For each byte, how a JSON string holds it: 0 as the byte itself, else the
/// letter after the backslash of its escape, 'u' standing for the six-byte
/// \u00XX form.
inline constexpr std::array<char, 256> kJsonEscapeLetters = [] {
  std::array<char, 256> table{};
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}();

/// The longest escape, \u00XX.
inline constexpr std::size_t kLongestJsonEscape = 6;

/// Writes the escape of `byte`, whose letter is `letter` (never 0), at `out`:
/// its length, 2 or 6. Hexadecimal digits are lowercase.
constexpr std::size_t write_json_escape(unsigned char byte, char letter, char* out) {
  out[0] = '\\';
  out[1] = letter;
  if (letter != 'u') return 2;
  constexpr char kHexDigits[] = "0123456789abcdef";
  out[2] = '0';
  out[3] = '0';
  out[4] = kHexDigits[byte >> 4];
  out[5] = kHexDigits[byte & 0xF];
  return kLongestJsonEscape;
}

}  // namespace fc

#endif  // FC_JSON_JSON_ESCAPE_H_
