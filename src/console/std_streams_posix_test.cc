// The standard slots held where the process has no null device.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "console/std_streams.h"

namespace fc {
namespace {

// In a child process, in the empty folder `root`: with standard output
// closed, claims the standard streams. Ends with 0 when a pipe's read end
// holds the slot and its write end is not left open above the standard
// slots; otherwise with the number of the broken expectation.
[[noreturn]] void hold_output_in(const std::string& root) {
  close(STDOUT_FILENO);
  for (int fd = 3; fd < 64; ++fd) close(fd);  // the child only ends, and says how by its status
  int above = 3;                              // where the write end lands
  if (chroot(root.c_str()) != 0 || chdir("/") != 0) _exit(10);
  claim_standard_streams();
  struct stat held{};
  if (fstat(STDOUT_FILENO, &held) != 0 || !S_ISFIFO(held.st_mode)) _exit(11);
  _exit(fcntl(above, F_GETFD) < 0 && errno == EBADF ? 0 : 12);
}

TEST(ClaimStandardStreamsDeathTest, WithoutANullDeviceAPipeHoldsTheSlot) {
  if (geteuid() != 0) GTEST_SKIP() << "an empty root takes chroot, which takes root";
  std::string root = ::testing::TempDir() + "fc_empty_root_XXXXXX";
  ASSERT_NE(mkdtemp(root.data()), nullptr);
  EXPECT_EXIT(hold_output_in(root), ::testing::ExitedWithCode(0), "");
  rmdir(root.c_str());
}

}  // namespace
}  // namespace fc
