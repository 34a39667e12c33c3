#ifndef FC_CONSOLE_FAKE_CONSOLE_TESTING_H_
#define FC_CONSOLE_FAKE_CONSOLE_TESTING_H_

// For tests: a wide console that records what it shows and can be told to
// take little, fail or stall, and an output device that writes to it.

#include <cstdint>
#include <string>
#include <vector>

#include "console/console_text.h"
#include "console/std_streams.h"

namespace fc {

/// Takes at most `per_call` units a call. Call number `fail_at` (counting
/// from 0) fails with `fail_code` and call number `stall_at` takes nothing;
/// the calls after them work again, as a console that recovers would.
class FakeConsole final : public WideConsole {
 public:
  std::size_t per_call = SIZE_MAX;
  std::size_t fail_at = SIZE_MAX;
  std::size_t stall_at = SIZE_MAX;
  std::int32_t fail_code = 5;  // access denied: a failure, not a missing console
  std::vector<std::u16string> offered;
  std::u16string shown;

  Result<std::size_t> write_units(std::u16string_view units) override {
    offered.emplace_back(units);
    if (offered.size() == fail_at + 1) return std::unexpected(IoError::from_os_code(fail_code));
    std::size_t taken = offered.size() == stall_at + 1 ? 0 : std::min(units.size(), per_call);
    shown.append(units.substr(0, taken));
    return taken;
  }
};

/// A standard stream on a fake console, written as the Windows device does.
class FakeConsoleDevice final : public OutputDevice {
 public:
  Result<std::size_t> write_some(std::string_view bytes) override {
    return writer.write_some(bytes, console);
  }

  FakeConsole console;
  ConsoleWriter writer;
};

}  // namespace fc

#endif  // FC_CONSOLE_FAKE_CONSOLE_TESTING_H_
