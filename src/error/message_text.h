#ifndef FC_ERROR_MESSAGE_TEXT_H_
#define FC_ERROR_MESSAGE_TEXT_H_

#include <string>

// Text clean-up shared by the platforms' message lookups: the platform's
// text loses the line break it puts after its messages.

namespace fc {

/// Removes every trailing White_Space character from valid UTF-8 text.
/// Leading and inner white space, inner line breaks included, stay.
void trim_trailing_white_space(std::string& text);

}  // namespace fc

#endif  // FC_ERROR_MESSAGE_TEXT_H_
