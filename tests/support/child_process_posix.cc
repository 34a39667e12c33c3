#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

// Sets up `target` in the child; `parent_end` is the end the runner keeps.
void plan_stream(posix_spawn_file_actions_t* actions, int target, StreamSetup setup,
                 const std::string& file, Pipe* pipe_out, bool is_input) {
  switch (setup) {
    case StreamSetup::kCapture:
    case StreamSetup::kBrokenPipe:
      *pipe_out = make_pipe();
      posix_spawn_file_actions_adddup2(actions, is_input ? pipe_out->read : pipe_out->write,
                                       target);
      break;
    case StreamSetup::kClosed:
    case StreamSetup::kDangling:  // a closed number names nothing
      posix_spawn_file_actions_addclose(actions, target);
      break;
    case StreamSetup::kFile:
      posix_spawn_file_actions_addopen(actions, target, file.c_str(),
                                       is_input ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0644);
      break;
    case StreamSetup::kDevFull:
      posix_spawn_file_actions_addopen(actions, target, "/dev/full", O_WRONLY, 0);
      break;
  }
}

double now_seconds() {
  timespec ts;
  (void)clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Reads both capture pipes until they close or the deadline passes.
bool drain(int out_fd, int err_fd, ChildResult* result, double deadline) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&result->out, &result->err};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    double left = deadline - now_seconds();
    if (left <= 0) return false;
    int ready = poll(fds, 2, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno != EINTR) return false;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  return true;
}

}  // namespace

ChildResult run_native(const std::string& program, const ChildOptions& options) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  Pipe in, out, err;
  plan_stream(&actions, 0, options.in, "", &in, true);
  plan_stream(&actions, 1, options.out, options.out_file, &out, false);
  plan_stream(&actions, 2, options.err, options.err_file, &err, false);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // A broken pipe needs its reader gone before the child writes.
  if (options.out == StreamSetup::kBrokenPipe) close_fd(out.read);
  if (options.err == StreamSetup::kBrokenPipe) close_fd(err.read);

  pid_t pid = -1;
  int spawn_error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close_fd(in.read);
  close_fd(in.write);  // the child's standard input is an empty pipe
  close_fd(out.write);
  close_fd(err.write);
  if (spawn_error != 0) {
    close_fd(out.read);
    close_fd(err.read);
    throw std::runtime_error("cannot start " + program);
  }

  ChildResult result;
  double deadline = now_seconds() + options.timeout_seconds;
  if (!drain(out.read, err.read, &result, deadline)) {
    result.timed_out = true;
    kill(pid, SIGKILL);
  }
  close_fd(out.read);
  close_fd(err.read);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.term_signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace fc::testing
