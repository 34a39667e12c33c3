#include <malloc.h>
#include <windows.h>

#include "error/allocation.h"

namespace fc {

void* try_allocate_aligned(std::size_t size, std::size_t alignment) noexcept {
  return _aligned_malloc(size == 0 ? 1 : size, alignment);
}

void release_aligned(void* memory) noexcept { _aligned_free(memory); }

void write_stderr_unbuffered(std::string_view text) noexcept {
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD written = 0;
    DWORD length = text.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(text.size());
    if (!WriteFile(handle, text.data(), length, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

void fail_fast() noexcept {
  // The fast-fail interrupt with FAST_FAIL_FATAL_APP_EXIT in ecx: the system
  // ends the process on the spot, running no handler of its own.
  __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_FATAL_APP_EXIT) : "memory");
  // Not reached on a system that knows the interrupt; end with its status
  // anyway.
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_unreachable();
}

}  // namespace fc
