#ifndef FC_ERROR_PANIC_H_
#define FC_ERROR_PANIC_H_

#include <source_location>
#include <string>
#include <string_view>

namespace fc {

/// Thrown by panic() to unwind the run: every object of the run is destroyed
/// on the way out (the socket is closed), and the entry routine turns it into
/// exit status 101. Never caught anywhere else.
struct PanicUnwind {};

/// Ends the run abnormally: writes "thread 'main' panicked at FILE:LINE:COL:",
/// the message and a note line to standard error, then unwinds.
[[noreturn]] void panic(std::string_view message,
                        std::source_location where = std::source_location::current());

/// The diagnostic panic() writes, as text; exposed for tests.
std::string panic_text(std::string_view message, const std::source_location& where);

}  // namespace fc

#endif  // FC_ERROR_PANIC_H_
