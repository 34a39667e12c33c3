#ifndef FC_CONSOLE_PANIC_H_
#define FC_CONSOLE_PANIC_H_

#include <cstdint>
#include <source_location>
#include <string_view>

namespace fc {

/// Thrown by panic() to unwind the run: every object of the run is destroyed
/// on the way out (the socket is closed), and the entry routine turns it into
/// exit status 101. Never caught anywhere else.
struct PanicUnwind {};

/// Ends the run abnormally: writes "thread 'main' panicked at FILE:LINE:COL:",
/// the message and a note line to standard error, then unwinds. FILE is
/// relative to the project root (the build maps the source directory away).
[[noreturn]] void panic(std::string_view message,
                        std::source_location where = std::source_location::current());

/// Ends the run abnormally unless `left` equals `right`; the diagnostic shows
/// both values. For results the program cannot go on without, such as the
/// network start-up's (left: its result, right: 0).
void assert_equal(std::int64_t left, std::int64_t right,
                  std::source_location where = std::source_location::current());

}  // namespace fc

#endif  // FC_CONSOLE_PANIC_H_
