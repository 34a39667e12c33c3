// The client's entry routine. Command-line arguments are ignored.
//
// The replaceable allocation functions are defined here, in the entry file,
// so that they are certainly linked into the client and every allocation it
// makes, the standard library's included, goes through them: without memory
// the process reports the size and ends at once instead of throwing.

#include <cstddef>
#include <new>

#include "error/allocation.h"
#include "main/process.h"
#include "main/run.h"

int main() {
  fc::prepare_process();
  return fc::run_client();
}

void* operator new(std::size_t size) { return fc::allocate_or_die(size); }
void* operator new[](std::size_t size) { return fc::allocate_or_die(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return fc::allocate_aligned_or_die(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return fc::allocate_aligned_or_die(size, static_cast<std::size_t>(alignment));
}

// The nothrow forms keep their promise: their callers asked for null and
// have a way on without the memory.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return fc::try_allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return fc::try_allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return fc::try_allocate_aligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return fc::try_allocate_aligned(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* memory) noexcept { fc::release(memory); }
void operator delete[](void* memory) noexcept { fc::release(memory); }
void operator delete(void* memory, std::size_t) noexcept { fc::release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { fc::release(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { fc::release(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { fc::release(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { fc::release_aligned(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { fc::release_aligned(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
  fc::release_aligned(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  fc::release_aligned(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  fc::release_aligned(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  fc::release_aligned(memory);
}
