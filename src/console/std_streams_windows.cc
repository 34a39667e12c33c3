#include <windows.h>

#include <algorithm>

#include "console/console_text.h"
#include "console/std_streams.h"

namespace fc {
namespace {

class ConsoleHandle final : public WideConsole {
 public:
  explicit ConsoleHandle(HANDLE handle) : handle_(handle) {}

  Result<std::size_t> write_units(std::u16string_view units) override {
    DWORD count = static_cast<DWORD>(std::min<std::size_t>(units.size(), MAXDWORD));
    DWORD written = 0;
    if (!WriteConsoleW(handle_, units.data(), count, &written, nullptr)) {
      return std::unexpected(IoError::from_os_code(static_cast<std::int32_t>(GetLastError())));
    }
    return written;
  }

 private:
  HANDLE handle_;
};

// A file or a pipe takes the bytes unchanged: no C runtime text mode here.
Result<std::size_t> write_bytes(HANDLE handle, std::string_view bytes) {
  DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
  DWORD written = 0;
  if (!WriteFile(handle, bytes.data(), count, &written, nullptr)) {
    return std::unexpected(IoError::from_os_code(static_cast<std::int32_t>(GetLastError())));
  }
  return written;
}

// A standard handle, looked up at each write. The console gets UTF-16 text;
// anything else gets the bytes. Without a usable handle the text is
// discarded and counts as written.
class StdHandleDevice final : public OutputDevice {
 public:
  explicit StdHandleDevice(DWORD which) : which_(which) {}

  Result<std::size_t> write_some(std::string_view bytes) override {
    HANDLE handle = GetStdHandle(which_);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return bytes.size();
    DWORD mode = 0;
    Result<std::size_t> taken;
    if (GetConsoleMode(handle, &mode)) {
      ConsoleHandle console(handle);
      taken = console_writer_.write_some(bytes, console);
    } else {
      taken = write_bytes(handle, bytes);
    }
    if (!taken && taken.error().os_code() == ERROR_INVALID_HANDLE) return bytes.size();
    return taken;
  }

 private:
  DWORD which_;
  ConsoleWriter console_writer_;
};

StdHandleDevice g_stdout(STD_OUTPUT_HANDLE);
StdHandleDevice g_stderr(STD_ERROR_HANDLE);

// A standard handle value that names nothing in this process (the parent
// passed one it never let us inherit) could be handed out again, to the
// socket: the progress lines would then go into the connection. Such a
// handle is dropped, so the stream counts as missing.
void drop_if_dangling(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD flags = 0;
  // A console handle of older systems is no kernel handle but has a type.
  if (GetFileType(handle) == FILE_TYPE_UNKNOWN && !GetHandleInformation(handle, &flags)) {
    SetStdHandle(which, nullptr);
  }
}

}  // namespace

void claim_standard_streams() {
  drop_if_dangling(STD_INPUT_HANDLE);
  drop_if_dangling(STD_OUTPUT_HANDLE);
  drop_if_dangling(STD_ERROR_HANDLE);
}

Result<std::uint64_t> clear_of_standard_streams(std::uint64_t handle) { return handle; }

OutputDevice& stdout_device() { return g_stdout; }
OutputDevice& stderr_device() { return g_stderr; }

}  // namespace fc
