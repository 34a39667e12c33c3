#include "error/message_text.h"

#include <cstddef>

#include "debug_text/unicode_classes.h"
#include "debug_text/utf.h"

namespace fc {

void trim_trailing_white_space(std::string& text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && is_utf8_continuation(text[start])) --start;
    Utf8Sequence last = decode_utf8(std::string_view(text).substr(start, end - start));
    // Only a whole, well-formed character can be white space.
    if (!last.well_formed || last.length != end - start) break;
    if (!is_white_space(last.code_point)) break;
    end = start;
  }
  text.resize(end);
}

}  // namespace fc
