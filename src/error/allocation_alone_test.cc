#include "error/allocation.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <limits>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

// Under AddressSanitizer an impossible allocation must come back as null, as
// it does without it, so that the failure path itself is what is tested.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer's own hook name.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace fc {
namespace {

// Over PTRDIFF_MAX, which allocators refuse outright: half the address space
// alone can still be had on a 32-bit machine.
constexpr std::size_t kImpossible = std::numeric_limits<std::size_t>::max() / 2 + 1;

// Under user-mode emulation the emulator may report the child's death by the
// signal on a line of its own after the child's output: qemu does so where it
// can dump the core for that machine (not for RISC-V).
#if FC_USER_MODE_EMULATION
[[maybe_unused]] constexpr const char* kEmulatorReport =
    "(qemu: uncaught target signal 6 \\(Aborted\\)[^\n]*\n)?";
#else
[[maybe_unused]] constexpr const char* kEmulatorReport = "";
#endif

// The child's whole standard error is the one line; AddressSanitizer adds a
// warning line of its own before it.
[[maybe_unused]] std::string whole_stderr(std::size_t size) {
#if defined(__SANITIZE_ADDRESS__)
  const char* start = "\n";
#else
  const char* start = "^";
#endif
  return start + std::string("memory allocation of ") + std::to_string(size) + " bytes failed\n" +
         kEmulatorReport + "$";
}

TEST(AllocationFailure, LineNamesTheRequestedSize) {
  struct Case {
    std::size_t size;
    std::string line;
  };
  const Case cases[] = {
      {0, "memory allocation of 0 bytes failed\n"},
      {1, "memory allocation of 1 bytes failed\n"},
      {4096, "memory allocation of 4096 bytes failed\n"},
      {std::numeric_limits<std::size_t>::max(),
       sizeof(std::size_t) == 8 ? "memory allocation of 18446744073709551615 bytes failed\n"
                                : "memory allocation of 4294967295 bytes failed\n"},
  };
  for (const Case& c : cases) {
    char buffer[kAllocationLineCapacity];
    EXPECT_EQ(allocation_failure_line(c.size, buffer), c.line);
  }
}

TEST(AllocationFailure, ImpossibleRequestsGiveNullFromTheTryForms) {
  EXPECT_EQ(try_allocate(kImpossible), nullptr);
  EXPECT_EQ(try_allocate_aligned(kImpossible, 64), nullptr);
}

TEST(AllocationFailure, MemoryIsUsableAndAligned) {
  for (std::size_t alignment : {16u, 32u, 64u, 4096u}) {
    for (std::size_t size : {0u, 1u, 100u}) {
      void* memory = allocate_aligned_or_die(size, alignment);
      ASSERT_NE(memory, nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % alignment, 0u);
      release_aligned(memory);
    }
  }
  void* memory = allocate_or_die(0);
  EXPECT_NE(memory, nullptr);
  release(memory);
  release(nullptr);
  release_aligned(nullptr);
}

// The death tests compare the child's whole standard error. The Windows
// fail-fast status is checked by the Windows port's own tests.
#ifndef _WIN32
TEST(AllocationFailureDeathTest, ReportsTheSizeAndAborts) {
  EXPECT_EXIT(allocation_failed(123), ::testing::KilledBySignal(SIGABRT),
              "^memory allocation of 123 bytes failed\n" + std::string(kEmulatorReport) + "$");
}

// The line goes out once and the process ends, whatever came before: an
// interrupted call's errno left over, or a standard error that refuses every
// write. The child's file size is capped and a timer set, so that a writer
// that loops fails rather than runs on.
TEST(AllocationFailureDeathTest, TheLineGoesOutOnceWhateverCameBefore) {
  auto bounded = [] {
    rlimit size{4096, 4096};
    (void)setrlimit(RLIMIT_FSIZE, &size);
    alarm(10);
  };
  EXPECT_EXIT(
      {
        bounded();
        errno = EINTR;
        allocation_failed(123);
      },
      ::testing::KilledBySignal(SIGABRT),
      "^memory allocation of 123 bytes failed\n" + std::string(kEmulatorReport) + "$");
  EXPECT_EXIT(
      {
        bounded();
        close(STDERR_FILENO);
        allocation_failed(123);
      },
      ::testing::KilledBySignal(SIGABRT), "");
}

TEST(AllocationFailureDeathTest, ImpossibleAllocationEndsTheProcess) {
  EXPECT_EXIT((void)allocate_or_die(kImpossible), ::testing::KilledBySignal(SIGABRT),
              whole_stderr(kImpossible));
  EXPECT_EXIT((void)allocate_aligned_or_die(kImpossible, 64), ::testing::KilledBySignal(SIGABRT),
              whole_stderr(kImpossible));
}

#endif  // _WIN32

}  // namespace
}  // namespace fc
