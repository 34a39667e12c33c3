#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "support/child_process.h"

extern char** environ;

namespace fc::testing {
namespace {

struct Pipe {
  int read = -1;
  int write = -1;
};

Pipe make_pipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  return {fds[0], fds[1]};
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// One standard stream of the child; `fd` is the pipe end it gets, if any.
struct ChildStream {
  int target;
  StreamSetup setup;
  const char* file;
  int fd;
};

// The pipe for a stream that needs one: the child gets one end, the runner
// keeps the other.
Pipe pipe_for(StreamSetup setup) {
  if (setup == StreamSetup::kCapture || setup == StreamSetup::kBrokenPipe) return make_pipe();
  return {};
}

// In the child, between fork and exec: async-signal-safe calls only.
void put_in_place(int fd, int target) {
  if (fd < 0) _exit(127);
  if (fd != target) {
    dup2(fd, target);
    close(fd);
  }
}

void set_up_stream(const ChildStream& stream, bool is_input) {
  switch (stream.setup) {
    case StreamSetup::kCapture:
    case StreamSetup::kBrokenPipe: dup2(stream.fd, stream.target); break;
    case StreamSetup::kClosed:
    case StreamSetup::kDangling:  // a closed number names nothing
      close(stream.target);
      break;
    case StreamSetup::kFile:
      put_in_place(open(stream.file, is_input ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0644),
                   stream.target);
      break;
    case StreamSetup::kDevFull: put_in_place(open("/dev/full", O_WRONLY), stream.target); break;
    case StreamSetup::kReadOnly: put_in_place(open("/dev/null", O_RDONLY), stream.target); break;
  }
}

void set_limit(int resource, long value) {
  if (value < 0) return;
  rlimit limit{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
  if (setrlimit(resource, &limit) != 0) _exit(127);
}

double now_seconds() {
  timespec ts;
  (void)clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Reads both capture pipes until they close (each is closed, and set to -1,
// at its end) or the deadline passes. Standard output is left unread for the
// pause asked for, standard error for its pause after its first line, and
// the child is sent a signal each time one is asked for.
bool drain(Pipe& out, Pipe& err, pid_t pid, const ChildOptions& options, ChildResult* result,
           double deadline) {
  int* fds[2] = {&out.read, &err.read};
  std::string* sinks[2] = {&result->out, &result->err};
  double paused_until[2] = {now_seconds() + options.out_pause_ms / 1000.0, 0};
  bool err_paused = false;
  int signals_sent = 0;
  double next_signal = 0;
  int signal = options.signal == 0 ? SIGINT : options.signal;
  while (*fds[0] >= 0 || *fds[1] >= 0) {
    double now = now_seconds();
    if (now >= deadline) return false;
    // A tenth of a second apart, as a person's, so that none merges with one
    // still pending.
    if (options.signals != nullptr && signals_sent < options.signals->load() &&
        now >= next_signal) {
      kill(pid, signal);
      ++signals_sent;
      next_signal = now + 0.1;
    }
    // A pause is for a consumer that stalls while the child writes: once the
    // child has ended, what it wrote is read at once.
    siginfo_t ended{};
    if (std::max(paused_until[0], paused_until[1]) > now &&
        waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == pid) {
      paused_until[0] = paused_until[1] = 0;
    }
    double wait = deadline - now;
    pollfd entries[2];
    for (int i = 0; i < 2; ++i) {
      bool paused = now < paused_until[i];
      if (paused) wait = std::min(wait, paused_until[i] - now);
      entries[i] = {paused ? -1 : *fds[i], POLLIN, 0};
    }
    if (options.signals != nullptr) wait = std::min(wait, 0.02);
    int ready = poll(entries, 2, static_cast<int>(wait * 1000) + 1);
    if (ready < 0 && errno != EINTR) return false;
    for (int i = 0; i < 2; ++i) {
      if (entries[i].fd < 0 || entries[i].revents == 0) continue;
      // Standard error is read a byte at a time up to its first line, so
      // that a pause after it leaves the rest unread.
      char buffer[4096];
      std::size_t asked = i == 1 && options.err_pause_ms > 0 && !err_paused ? 1 : sizeof buffer;
      ssize_t n = read(*fds[i], buffer, asked);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
        if (i == 1 && options.on_err) options.on_err({buffer, static_cast<std::size_t>(n)});
        if (i == 1 && asked == 1 && buffer[0] == '\n') {
          err_paused = true;
          paused_until[1] = now_seconds() + options.err_pause_ms / 1000.0;
        }
      } else if (n == 0 || errno != EINTR) {
        close_fd(*fds[i]);
      }
    }
  }
  return true;
}

}  // namespace

ChildResult run_native(const std::string& program, const ChildOptions& options) {
  if (access(program.c_str(), X_OK) != 0) throw std::runtime_error("cannot start " + program);
  Pipe in = pipe_for(options.in);
  Pipe out = pipe_for(options.out);
  Pipe err = pipe_for(options.err);
  const ChildStream streams[3] = {{0, options.in, "", in.read},
                                  {1, options.out, options.out_file.c_str(), out.write},
                                  {2, options.err, options.err_file.c_str(), err.write}};

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // A broken pipe needs its reader gone before the child writes.
  if (options.out == StreamSetup::kBrokenPipe) close_fd(out.read);
  if (options.err == StreamSetup::kBrokenPipe) close_fd(err.read);

  // fork rather than posix_spawn, which cannot set the child's limits.
  pid_t pid = fork();
  if (pid == 0) {
    for (const ChildStream& stream : streams) set_up_stream(stream, stream.target == 0);
    if (options.out_non_blocking) {
      (void)fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
    }
    set_limit(RLIMIT_NOFILE, options.open_files_limit);
    set_limit(RLIMIT_FSIZE, options.file_size_limit);
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  close_fd(in.read);
  close_fd(in.write);  // the child's standard input is an empty pipe
  close_fd(out.write);
  close_fd(err.write);
  if (pid < 0) {
    close_fd(out.read);
    close_fd(err.read);
    throw std::runtime_error("cannot start " + program);
  }

  ChildResult result;
  double deadline = now_seconds() + options.timeout_seconds;
  if (!drain(out, err, pid, options, &result, deadline)) {
    result.timed_out = true;
    kill(pid, SIGKILL);
  }
  close_fd(out.read);
  close_fd(err.read);

  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.term_signal = WTERMSIG(status);
  }
  return result;
}

bool runner_limits_and_interrupts() { return true; }

bool runner_injects_failures() { return program_emulator().empty() && access(kStrace, X_OK) == 0; }

}  // namespace fc::testing
