#ifndef FC_ERROR_ALLOCATION_H_
#define FC_ERROR_ALLOCATION_H_

#include <cstddef>
#include <string_view>

// Memory for the program's replacement allocation functions. When memory runs
// out the process is not unwound: it says so on standard error and ends at
// once through the platform's fail-fast facility.

namespace fc {

/// Room for the allocation-failure line with the largest size.
inline constexpr std::size_t kAllocationLineCapacity = 64;

/// "memory allocation of N bytes failed\n", built in `buffer` without
/// allocating.
std::string_view allocation_failure_line(std::size_t size, char (&buffer)[kAllocationLineCapacity]);

/// Writes the allocation-failure line to standard error (a failed write is
/// ignored) and terminates the process at once: nothing is flushed, no
/// destructor runs, no shut-down happens.
[[noreturn]] void allocation_failed(std::size_t size) noexcept;

/// `size` bytes (at least one is taken for 0), or null.
void* try_allocate(std::size_t size) noexcept;
/// `size` bytes aligned to `alignment` (a power of two), or null. Released
/// only with release_aligned.
void* try_allocate_aligned(std::size_t size, std::size_t alignment) noexcept;

/// As the try_ forms, but never null: without memory the process ends.
void* allocate_or_die(std::size_t size) noexcept;
void* allocate_aligned_or_die(std::size_t size, std::size_t alignment) noexcept;

/// Releases memory of try_allocate / allocate_or_die; null does nothing.
void release(void* memory) noexcept;
/// Releases memory of the aligned forms; null does nothing.
void release_aligned(void* memory) noexcept;

// Platform seam.

/// Writes `text` to standard error with one plain system call sequence that
/// allocates nothing; failures are ignored.
void write_stderr_unbuffered(std::string_view text) noexcept;

/// Terminates the process at once (abort on POSIX; fail-fast code 7,
/// FAST_FAIL_FATAL_APP_EXIT, on Windows).
[[noreturn]] void fail_fast() noexcept;

}  // namespace fc

#endif  // FC_ERROR_ALLOCATION_H_
