#ifndef FC_CONSOLE_CONSOLE_TEXT_H_
#define FC_CONSOLE_CONSOLE_TEXT_H_

#include <cstddef>
#include <optional>
#include <string_view>

#include "error/io_error.h"

// How UTF-8 text reaches a console that takes UTF-16 (the Windows console).
// Kept free of platform calls so that it is tested on every platform.

namespace fc {

/// The most bytes of UTF-8 text converted and handed to the console at once.
inline constexpr std::size_t kConsoleChunkBytes = 4096;

/// A console that takes UTF-16 text.
class WideConsole {
 public:
  /// One write: how many code units the console took.
  virtual Result<std::size_t> write_units(std::u16string_view units) = 0;

 protected:
  ~WideConsole() = default;
};

/// Writes UTF-8 text to a wide console for one output stream, in pieces of
/// at most kConsoleChunkBytes bytes that never end inside a sequence.
///
/// Text that reached the console is never offered again: when the console
/// stops partway through a piece (fails, or takes nothing more), the bytes
/// it showed are reported as taken, a character of which only the first
/// UTF-16 unit got through included (showing that half twice would be worse
/// than losing the other), and the stop itself is what the next write
/// returns: the console's error, or 0 bytes taken.
class ConsoleWriter {
 public:
  /// One write, as OutputDevice::write_some: how many bytes of `text` were
  /// taken, or why none were.
  Result<std::size_t> write_some(std::string_view text, WideConsole& console);

 private:
  // What the next write returns without asking the console.
  std::optional<Result<std::size_t>> held_stop_;
};

}  // namespace fc

#endif  // FC_CONSOLE_CONSOLE_TEXT_H_
