#include "net/host_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace fc {
namespace {

std::string host_of_length(std::size_t length) {
  std::string host;
  for (std::size_t i = 0; i < length; ++i) host += static_cast<char>('a' + i % 26);
  return host;
}

// Whether the copy lies inside the object itself, in its buffer on the stack,
// rather than in memory of its own (std::less: a total order on pointers).
bool inside(const HostText& text) {
  const auto* begin = reinterpret_cast<const char*>(&text);
  std::less<const char*> before;
  return !before(text.c_str(), begin) && before(text.c_str(), begin + sizeof text);
}

TEST(HostText, CopiesOnTheStackUpTo383BytesAndOnTheHeapBeyond) {
  const struct {
    std::size_t length;
    bool inside;
  } cases[] = {{0, true},    {1, true},    {382, true},  {383, true},
               {384, false}, {385, false}, {4096, false}};
  for (const auto& c : cases) {
    std::string host = host_of_length(c.length);
    HostText text(host);
    ASSERT_TRUE(text.valid()) << c.length;
    EXPECT_EQ(inside(text), c.inside) << c.length;
    // Same bytes and a terminator either way.
    EXPECT_EQ(std::strlen(text.c_str()), c.length);
    EXPECT_EQ(std::string(text.c_str()), host);
  }
}

TEST(HostText, RefusesANulByteOnEitherSideOfTheBoundary) {
  for (std::size_t length : {1u, 383u, 384u, 1000u}) {
    for (std::size_t at : {std::size_t{0}, length / 2, length - 1}) {
      std::string host = host_of_length(length);
      host[at] = '\0';
      EXPECT_FALSE(HostText(host).valid()) << "length " << length << ", NUL at " << at;
    }
  }
}

}  // namespace
}  // namespace fc
