// The client's replacement allocation functions: every allocation the
// client makes, the standard library's included, goes through them, so that
// without memory the process reports the size and ends at once instead of
// throwing.
//
// Like the entry routine, this file is one of the client's own objects, not
// part of the library: the standard library defines these functions too, so
// a linker taking them from an archive could leave them out, and the tests,
// which link the library, keep the usual ones.

#include <cstddef>
#include <new>

#include "error/allocation.h"

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
