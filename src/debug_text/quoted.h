#ifndef FC_DEBUG_TEXT_QUOTED_H_
#define FC_DEBUG_TEXT_QUOTED_H_

#include <string_view>

#include "debug_text/text_sink.h"

namespace fc {

/// Writes `text` between double quotes, with the characters that would be
/// ambiguous or invisible written as escapes. Returns the sink's first
/// failure; nothing is written after it.
Status write_quoted(std::string_view text, TextSink& sink);

}  // namespace fc

#endif  // FC_DEBUG_TEXT_QUOTED_H_
