#ifndef FC_ERROR_MESSAGE_TEXT_H_
#define FC_ERROR_MESSAGE_TEXT_H_

#include <optional>
#include <string>
#include <string_view>

// Text clean-up shared by the platforms' message lookups: whatever the
// platform hands back becomes valid UTF-8 without its trailing line break.

namespace fc {

/// Whether `code_point` has the Unicode White_Space property.
bool is_white_space(char32_t code_point);

/// Removes every trailing White_Space character from valid UTF-8 text.
/// Leading and inner white space, inner line breaks included, stay.
void trim_trailing_white_space(std::string& text);

/// Strict UTF-16 to UTF-8: nothing when the units hold an unpaired surrogate.
std::optional<std::string> utf16_to_utf8(std::u16string_view units);

/// Bytes of unknown encoding as valid UTF-8: every well-formed sequence is
/// kept, every maximal ill-formed part becomes U+FFFD.
std::string to_valid_utf8(std::string_view bytes);

}  // namespace fc

#endif  // FC_ERROR_MESSAGE_TEXT_H_
