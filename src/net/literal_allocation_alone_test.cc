// A literal endpoint costs one allocation, the address list; the grammar
// itself allocates nothing. Counted by replacing the global allocation
// functions for this test binary; every form that can be paired with another
// is replaced, so that the sanitizers see matching calls.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "net/endpoint.h"

namespace {
thread_local bool counting = false;
thread_local int allocations = 0;

void* allocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace fc {
namespace {

int allocations_in(auto run) {
  allocations = 0;
  counting = true;
  run();
  counting = false;
  return allocations;
}

TEST(LiteralPath, AllocatesOnlyTheOneAddressList) {
  for (std::string_view endpoint :
       {"127.0.0.1:12345", "[::1]:80", "[fe80::1%7]:80", "[::ffff:1.2.3.4]:65535"}) {
    EXPECT_EQ(allocations_in([&] { (void)parse_socket_address(endpoint); }), 0) << endpoint;
    int count = allocations_in([&] {
      Result<std::vector<SocketAddress>> addresses = resolve_endpoint(endpoint);
      EXPECT_TRUE(addresses && addresses->size() == 1) << endpoint;
    });
    EXPECT_EQ(count, 1) << endpoint;
  }
}

TEST(LiteralPath, TheCounterSeesAllocations) {
  int count = allocations_in([] {
    auto one = std::make_unique<int>(1);
    std::vector<int> two(3);
  });
  EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace fc
