#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "error/allocation.h"

namespace fc {

void* try_allocate_aligned(std::size_t size, std::size_t alignment) noexcept {
  // posix_memalign wants at least pointer alignment.
  if (alignment < sizeof(void*)) alignment = sizeof(void*);
  void* memory = nullptr;
  if (posix_memalign(&memory, alignment, size == 0 ? 1 : size) != 0) return nullptr;
  return memory;
}

void release_aligned(void* memory) noexcept { std::free(memory); }

void write_stderr_unbuffered(std::string_view text) noexcept {
  while (!text.empty()) {
    ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

void fail_fast() noexcept { std::abort(); }

}  // namespace fc
