#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "console/std_streams.h"

namespace fc {
namespace {

class FdDevice final : public OutputDevice {
 public:
  explicit FdDevice(int fd) : fd_(fd) {}

  Result<std::size_t> write_some(std::string_view bytes) override {
    ssize_t n = ::write(fd_, bytes.data(), std::min<std::size_t>(bytes.size(), SSIZE_MAX));
    if (n >= 0) return static_cast<std::size_t>(n);
    // A closed descriptor is a missing stream: its text is discarded.
    if (errno == EBADF) return bytes.size();
    if (errno == EINTR) return std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
    return std::unexpected(IoError::from_os_code(errno));
  }

 private:
  int fd_;
};

FdDevice g_stdout(STDOUT_FILENO);
FdDevice g_stderr(STDERR_FILENO);

}  // namespace

OutputDevice& stdout_device() { return g_stdout; }
OutputDevice& stderr_device() { return g_stderr; }

}  // namespace fc
