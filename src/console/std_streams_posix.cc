#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "console/interrupts.h"
#include "console/interrupts_posix.h"
#include "console/std_streams.h"

namespace fc {
namespace {

// How the streams write and wait: see route_stream_writes().
ssize_t (*g_write)(int, const void*, std::size_t) = ::write;
const sigset_t* g_wait_mask = nullptr;

// A standard stream as a descriptor. Only a stream that was closed when the
// process started is missing; any failure of an open one, EBADF from a
// descriptor opened for reading included, is reported.
class FdDevice final : public OutputDevice {
 public:
  explicit FdDevice(int fd) : fd_(fd) {}

  Result<std::size_t> write_some(std::string_view bytes) override {
    // The slot holds a placeholder, never the stream it once was.
    if (missing_) return bytes.size();
    ssize_t n = g_write(fd_, bytes.data(), std::min<std::size_t>(bytes.size(), SSIZE_MAX));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) return std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
    if (errno == ECANCELED) return std::unexpected(IoError::from_fixed(kStoppedWhileBlocked));
    return std::unexpected(IoError::from_os_code(errno));
  }

  // A small write to a stream that polls writable goes through at once.
  Result<std::size_t> write_at_once(std::string_view bytes) override {
    if (missing_) return bytes.size();
    pollfd output{fd_, POLLOUT, 0};
    if (poll(&output, 1, 0) != 1 || (output.revents & POLLOUT) == 0) {
      return std::unexpected(IoError::from_kind(ErrorKind::WouldBlock));
    }
    ssize_t n = ::write(fd_, bytes.data(), std::min<std::size_t>(bytes.size(), SSIZE_MAX));
    if (n >= 0) return static_cast<std::size_t>(n);
    return std::unexpected(IoError::from_os_code(errno));
  }

  void wait_for_room() override {
    pollfd output{fd_, POLLOUT, 0};
    (void)ppoll(&output, 1, nullptr, g_wait_mask);
  }

  void set_missing() { missing_ = true; }

 private:
  int fd_;
  bool missing_ = false;
};

FdDevice g_stdout(STDOUT_FILENO);
FdDevice g_stderr(STDERR_FILENO);

bool is_closed(int fd) { return fcntl(fd, F_GETFD) < 0 && errno == EBADF; }

// Keeps a new descriptor only if it landed in a standard slot.
void keep_if_standard(int fd) {
  if (fd > STDERR_FILENO) close(fd);
}

// Takes the lowest free descriptor, which the caller has made a standard
// slot: the null device, or where there is none (an empty root) the read end
// of a pipe, whose write end holds the next slot if that is free too. Failing
// both, the slot stays free; sockets never take a standard slot anyway.
void hold_lowest_slot() {
  int fd = open("/dev/null", O_RDWR);
  if (fd >= 0) return keep_if_standard(fd);
  int ends[2];
  if (pipe(ends) != 0) return;
  keep_if_standard(ends[0]);
  keep_if_standard(ends[1]);
}

}  // namespace

void claim_standard_streams() {
  // fcntl works whatever the descriptor limit, where poll() over three
  // entries fails below a limit of 3.
  const bool closed[3] = {is_closed(0), is_closed(1), is_closed(2)};
  for (int slot = 0; slot < 3; ++slot) {
    // Every lower slot is taken by now, so the next descriptor is this one.
    if (closed[slot] && is_closed(slot)) hold_lowest_slot();
  }
  if (closed[STDOUT_FILENO]) g_stdout.set_missing();
  if (closed[STDERR_FILENO]) g_stderr.set_missing();
}

// EINVAL or EMFILE from the move both mean no room above the standard slots.
Result<std::uint64_t> clear_of_standard_streams(std::uint64_t handle) {
  int fd = static_cast<int>(handle);
  if (fd > STDERR_FILENO) return handle;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  close(fd);
  if (moved < 0) return std::unexpected(IoError::from_os_code(EMFILE));
  return static_cast<std::uint64_t>(moved);
}

void route_stream_writes(ssize_t (*write)(int, const void*, std::size_t), const sigset_t* mask) {
  g_write = write;
  g_wait_mask = mask;
}

OutputDevice& stdout_device() { return g_stdout; }
OutputDevice& stderr_device() { return g_stderr; }

}  // namespace fc
