#include <windows.h>

#include <mutex>
#include <stdexcept>
#include <thread>

#include "support/child_process.h"

namespace fc::testing {
namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// Under wine a build path is a Unix path: drive Z: is the Unix root.
std::wstring windows_path(const std::string& path) {
  std::wstring wide = widen(path);
  if (!wide.empty() && wide[0] == L'/') wide.insert(0, L"Z:");
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring quote_argument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  for (auto it = arg.begin();; ++it) {
    std::size_t backslashes = 0;
    while (it != arg.end() && *it == L'\\') {
      ++it;
      ++backslashes;
    }
    if (it == arg.end()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (*it == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted.push_back(*it);
  }
  quoted.push_back(L'"');
  return quoted;
}

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Handle() { reset(nullptr); }

  HANDLE get() const { return handle_; }
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle) {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

struct Pipe {
  Handle read;
  Handle write;
};

Pipe make_pipe() {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, nullptr, 0)) throw std::runtime_error("CreatePipe failed");
  return {Handle(read), Handle(write)};
}

// The handle the child gets for one stream (not inheritable yet); for a
// captured output, `parent_end` receives the end the runner reads.
Handle plan_stream(StreamSetup setup, const std::string& file, bool is_input, Handle* parent_end) {
  switch (setup) {
    case StreamSetup::kCapture: {
      Pipe pipe = make_pipe();
      if (is_input) return std::move(pipe.read);  // the write end closes: empty input
      *parent_end = std::move(pipe.read);
      return std::move(pipe.write);
    }
    case StreamSetup::kBrokenPipe: {
      Pipe pipe = make_pipe();
      return std::move(is_input ? pipe.read : pipe.write);  // the other end closes here
    }
    case StreamSetup::kClosed:
    case StreamSetup::kDangling:  // a raw value, set when the child starts
      return Handle();
    case StreamSetup::kFile: {
      HANDLE handle =
          CreateFileW(windows_path(file).c_str(), is_input ? GENERIC_READ : GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      is_input ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + file);
      return Handle(handle);
    }
    case StreamSetup::kReadOnly: {
      HANDLE handle = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open NUL");
      return Handle(handle);
    }
    case StreamSetup::kDevFull: break;
  }
  throw std::runtime_error("this stream setup exists only on POSIX");
}

// An inheritable copy of `handle` for the child; none for a missing one.
Handle inheritable_copy(const Handle& handle) {
  if (handle.get() == nullptr) return Handle();
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle.get(), GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    throw std::runtime_error("DuplicateHandle failed");
  }
  return Handle(copy);
}

void read_all(HANDLE pipe, std::string* sink,
              const std::function<void(std::string_view)>& on_read = {}) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    sink->append(buffer, got);
    if (on_read) on_read({buffer, got});
  }
}

// Only one child is being created at a time, so that no child inherits the
// handles meant for another.
std::mutex g_spawn_mutex;

}  // namespace

ChildResult run_native(const std::string& program, const ChildOptions& options) {
  if (options.open_files_limit >= 0 || options.file_size_limit >= 0 || options.signals != nullptr ||
      options.err_pause_ms > 0) {
    throw std::runtime_error("limits for the child and interrupting it exist only on POSIX");
  }
  Handle out_read, err_read, unused;
  Handle in = plan_stream(options.in, "", true, &unused);
  Handle out = plan_stream(options.out, options.out_file, false, &out_read);
  Handle err = plan_stream(options.err, options.err_file, false, &err_read);

  std::wstring application = windows_path(program);
  std::wstring command_line = quote_argument(application);
  for (const std::string& arg : options.args) command_line += L" " + quote_argument(widen(arg));

  PROCESS_INFORMATION process{};
  {
    std::lock_guard<std::mutex> lock(g_spawn_mutex);
    Handle child_in = inheritable_copy(in);
    Handle child_out = inheritable_copy(out);
    Handle child_err = inheritable_copy(err);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    auto dangling_or = [&](StreamSetup setup, const Handle& handle) {
      return setup == StreamSetup::kDangling ? reinterpret_cast<HANDLE>(options.dangling_value)
                                             : handle.get();
    };
    startup.hStdInput = dangling_or(options.in, child_in);
    startup.hStdOutput = dangling_or(options.out, child_out);
    startup.hStdError = dangling_or(options.err, child_err);
    if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                        nullptr, nullptr, &startup, &process)) {
      throw std::runtime_error("cannot start " + program + " (error " +
                               std::to_string(GetLastError()) + ")");
    }
  }
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);
  // The child holds its own copies now; ours must go for the pipes to end.
  in.reset(nullptr);
  out.reset(nullptr);
  err.reset(nullptr);

  ChildResult result;
  std::thread out_reader([&] {
    Sleep(static_cast<DWORD>(options.out_pause_ms));
    if (out_read.get() != nullptr) read_all(out_read.get(), &result.out);
  });
  std::thread err_reader([&] {
    if (err_read.get() != nullptr) read_all(err_read.get(), &result.err, options.on_err);
  });
  DWORD wait =
      WaitForSingleObject(process_handle.get(), static_cast<DWORD>(options.timeout_seconds) * 1000);
  if (wait != WAIT_OBJECT_0) {
    result.timed_out = true;
    TerminateProcess(process_handle.get(), 1);
    WaitForSingleObject(process_handle.get(), INFINITE);
  }
  out_reader.join();
  err_reader.join();

  DWORD code = 0;
  if (!result.timed_out && GetExitCodeProcess(process_handle.get(), &code)) {
    result.exited = true;
    result.exit_code = static_cast<int>(code);
  }
  return result;
}

bool runner_injects_failures() { return false; }

bool runner_limits_and_interrupts() { return false; }

}  // namespace fc::testing
