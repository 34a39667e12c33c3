#include "error/allocation.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace fc {
namespace {

constexpr std::string_view kLead = "memory allocation of ";
constexpr std::string_view kTail = " bytes failed\n";

}  // namespace

std::string_view allocation_failure_line(std::size_t size,
                                         char (&buffer)[kAllocationLineCapacity]) {
  static_assert(kLead.size() + 20 + kTail.size() <= kAllocationLineCapacity);
  char* at = buffer;
  std::memcpy(at, kLead.data(), kLead.size());
  at += kLead.size();
  at = std::to_chars(at, buffer + kAllocationLineCapacity, size).ptr;
  std::memcpy(at, kTail.data(), kTail.size());
  at += kTail.size();
  return std::string_view(buffer, static_cast<std::size_t>(at - buffer));
}

void allocation_failed(std::size_t size) noexcept {
  char buffer[kAllocationLineCapacity];
  write_stderr_unbuffered(allocation_failure_line(size, buffer));
  fail_fast();
}

void* try_allocate(std::size_t size) noexcept { return std::malloc(size == 0 ? 1 : size); }

void* allocate_or_die(std::size_t size) noexcept {
  void* memory = try_allocate(size);
  if (memory == nullptr) allocation_failed(size);
  return memory;
}

void* allocate_aligned_or_die(std::size_t size, std::size_t alignment) noexcept {
  void* memory = try_allocate_aligned(size, alignment);
  if (memory == nullptr) allocation_failed(size);
  return memory;
}

void release(void* memory) noexcept { std::free(memory); }

}  // namespace fc
