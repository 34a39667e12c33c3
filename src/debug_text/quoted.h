#ifndef FC_DEBUG_TEXT_QUOTED_H_
#define FC_DEBUG_TEXT_QUOTED_H_

#include <string_view>

#include "debug_text/text_sink.h"

namespace fc {

/// Writes `text` in its quoted form: between double quotes, with NUL, tab, LF,
/// CR, the double quote and the backslash as `\0 \t \n \r \" \\`, and every
/// character that is not printable, or is Grapheme_Extend from U+0300 up, as
/// `\u{hex}` (lowercase, no leading zeros). Everything else, the apostrophe
/// included, is written as itself.
///
/// `text` must be valid UTF-8; every text inside this program is, by
/// construction. Other input is still handled safely: nothing past the end of
/// `text` is read, and each byte that does not belong to a well-formed sequence
/// is written as `\u{hex}` of its own value.
///
/// Characters written as themselves go to the sink in runs of one piece, so a
/// text with nothing to escape costs three writes.
void write_quoted(std::string_view text, TextSink& sink);

}  // namespace fc

#endif  // FC_DEBUG_TEXT_QUOTED_H_
