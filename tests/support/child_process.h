#ifndef FC_TESTS_SUPPORT_CHILD_PROCESS_H_
#define FC_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fc::testing {

/// Where a standard stream of the child goes.
enum class StreamSetup {
  kCapture,     ///< a pipe read by the runner into ChildResult
  kClosed,      ///< the descriptor is closed in the child
  kFile,        ///< a file (output: the path in ChildOptions::*_file)
  kDevFull,     ///< /dev/full: every write fails with "no space" (POSIX only)
  kBrokenPipe,  ///< a pipe whose read end is already closed
  kDangling,    ///< a handle value that names nothing in the child (Windows only)
  kReadOnly,    ///< the null device opened for reading only: writes fail
};

struct ChildOptions {
  std::vector<std::string> args = {};
  StreamSetup in = StreamSetup::kCapture;  // kCapture: an empty pipe
  StreamSetup out = StreamSetup::kCapture;
  StreamSetup err = StreamSetup::kCapture;
  std::string out_file = {};
  std::string err_file = {};
  std::uintptr_t dangling_value = 0;  ///< the handle value for kDangling
  /// POSIX only: limits set in the child before the program starts (its
  /// descriptor limit and its file-size limit in bytes); -1 keeps the runner's.
  long open_files_limit = -1;
  long file_size_limit = -1;
  /// POSIX only: the child is sent `signal` (SIGINT when 0) each time this
  /// count goes up.
  const std::atomic<int>* signals = nullptr;
  int signal = 0;
  /// How long the reader of a captured standard output waits before it
  /// reads, as a consumer that stalls would.
  int out_pause_ms = 0;
  /// How long the reader of a captured standard error, once it has read the
  /// first line, waits before it reads on.
  int err_pause_ms = 0;
  /// Each piece of a captured standard error as it is read, on the runner's
  /// thread: how a test learns that a program listens.
  std::function<void(std::string_view)> on_err = {};
  /// POSIX: a full standard output pipe refuses writes rather than blocking
  /// them (O_NONBLOCK), as one shared with a program that set it does.
  bool out_non_blocking = false;
  /// POSIX: system calls made to fail, as strace's -e inject= takes them
  /// ("socket:error=EINVAL:when=1"); the program then runs under strace.
  std::string inject = {};
  int timeout_seconds = 30;
};

/// Whether the runner can set the child's limits and interrupt it (POSIX).
bool runner_limits_and_interrupts();

/// Whether the runner can make a child's system calls fail: strace is at
/// hand, and this build's programs run natively (strace would trace an
/// emulator's own calls).
bool runner_injects_failures();

struct ChildResult {
  bool exited = false;     ///< ended by returning or exiting
  int exit_code = -1;      ///< valid when exited
  int term_signal = 0;     ///< POSIX: the signal that ended it
  bool timed_out = false;  ///< killed by the runner
  std::string out;         ///< captured standard output
  std::string err;         ///< captured standard error
  double cpu_seconds = 0;  ///< POSIX: the processor time it used
};

/// Runs `program`, one of this build's programs, to the end with the given
/// streams: through program_emulator() when there is one.
ChildResult run_child(const std::string& program, const ChildOptions& options);

/// Runs `program` to the end as this machine starts it: a program of the
/// machine itself, or one of this build's on a native build.
ChildResult run_native(const std::string& program, const ChildOptions& options);

/// The command before a program of this build that starts it here: the
/// emulator named when the build was configured, for a Linux build for
/// another machine (whose programs the kernel does not start by itself);
/// empty otherwise, Windows programs under wine included.
const std::vector<std::string>& program_emulator();

/// The built client.
std::string client_path();

/// Where strace is.
inline constexpr char kStrace[] = "/usr/bin/strace";

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_CHILD_PROCESS_H_
