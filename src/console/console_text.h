#ifndef FC_CONSOLE_CONSOLE_TEXT_H_
#define FC_CONSOLE_CONSOLE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "error/io_error.h"

// How UTF-8 text reaches a console that takes UTF-16 (the Windows console).
// Kept free of platform calls so that it is tested on every platform.

namespace fc {

/// The most bytes of UTF-8 text converted and handed to the console at once.
inline constexpr std::size_t kConsoleChunkBytes = 4096;

/// The length of the longest prefix of `text` of at most `limit` bytes that
/// does not end inside a UTF-8 sequence. Only a sequence, or a maximal
/// ill-formed part, that the cut would split is held back, so that the pieces
/// convert to the same UTF-16 as the whole text.
std::size_t utf8_chunk_length(std::string_view text, std::size_t limit = kConsoleChunkBytes);

/// UTF-8 to UTF-16. Each maximal ill-formed subsequence becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

/// How many bytes of `text` the first `units` code units of its UTF-16 form
/// come from; a character counts only when all its units are included.
std::size_t utf8_length_of_units(std::string_view text, std::size_t units);

/// A console that takes UTF-16 text.
class WideConsole {
 public:
  /// One write: how many code units the console took.
  virtual Result<std::size_t> write_units(std::u16string_view units) = 0;

 protected:
  ~WideConsole() = default;
};

/// One write of UTF-8 text to a wide console: at most kConsoleChunkBytes
/// bytes, never ending inside a sequence, converted and written. Returns how
/// many bytes of `text` reached the console, or the console's error when it
/// failed before taking anything.
///
/// A console that takes the first unit of a surrogate pair and then fails or
/// takes nothing more shows half a character, which no count describes:
/// counting the character loses its second half, not counting it makes the
/// next write show the first half again. Such a write fails instead, with the
/// console's error or, when it just stopped taking, a WriteZero error. The
/// whole characters before that one were shown and go uncounted, so the
/// caller must not write this text again: write_all retries only interrupted
/// writes, and neither error is one (an operating-system error never is).
Result<std::size_t> write_console_text(std::string_view text, WideConsole& console);

}  // namespace fc

#endif  // FC_CONSOLE_CONSOLE_TEXT_H_
