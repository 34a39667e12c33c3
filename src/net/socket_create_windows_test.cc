#include "net/socket_create_windows.h"

#include <gtest/gtest.h>

#include <vector>

namespace fc {
namespace {

// What the fake system does, and what it was asked.
struct FakeSystem {
  struct Creation {
    SOCKET socket;  // INVALID_SOCKET: fails with `code`
    int code;
  };
  std::vector<Creation> creations;
  bool clear_succeeds = true;
  DWORD clear_error = 0;

  std::vector<DWORD> flags_asked;
  std::vector<SOCKET> cleared;
  std::vector<SOCKET> closed;
  int socket_error = 0;
};

FakeSystem* g_fake = nullptr;

const SocketCalls kFakeCalls = {
    [](int family, DWORD flags) {
      EXPECT_EQ(family, AF_INET6);
      g_fake->flags_asked.push_back(flags);
      FakeSystem::Creation next = g_fake->creations.at(g_fake->flags_asked.size() - 1);
      g_fake->socket_error = next.code;
      return next.socket;
    },
    [] { return g_fake->socket_error; },
    [](SOCKET socket) -> BOOL {
      g_fake->cleared.push_back(socket);
      return g_fake->clear_succeeds;
    },
    [] { return g_fake->clear_error; },
    [](SOCKET socket) {
      g_fake->closed.push_back(socket);
      return 0;
    },
};

TEST(CreateSocket, FallsBackOnlyWhenTheNoInheritFlagIsRefused) {
  struct Case {
    const char* name;
    std::vector<FakeSystem::Creation> creations;
    bool clear_succeeds;
    std::optional<SOCKET> socket;      // success
    std::optional<std::int32_t> code;  // failure
    std::vector<DWORD> flags_asked;
    std::vector<SOCKET> cleared;
    std::vector<SOCKET> closed;
  };
  // clang-format off: one row a case reads better than one field a line.
  const Case cases[] = {
      {"flag accepted", {{100, 0}}, true, 100, {}, {0x81}, {}, {}},
      {"10041: retried without it", {{INVALID_SOCKET, 10041}, {200, 0}}, true, 200, {},
       {0x81, 0x01}, {200}, {}},
      {"10022: retried without it", {{INVALID_SOCKET, 10022}, {201, 0}}, true, 201, {},
       {0x81, 0x01}, {201}, {}},
      {"other code: no retry", {{INVALID_SOCKET, 10047}}, true, {}, 10047, {0x81}, {}, {}},
      {"retry fails too", {{INVALID_SOCKET, 10041}, {INVALID_SOCKET, 10055}}, true, {}, 10055,
       {0x81, 0x01}, {}, {}},
      {"flag cannot be cleared", {{INVALID_SOCKET, 10022}, {300, 0}}, false, {}, 5,
       {0x81, 0x01}, {300}, {300}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSystem fake;
    fake.creations = c.creations;
    fake.clear_succeeds = c.clear_succeeds;
    fake.clear_error = 5;
    g_fake = &fake;
    Result<NativeSocket> socket = create_socket(kFakeCalls, AF_INET6);
    g_fake = nullptr;
    if (c.socket) {
      ASSERT_TRUE(socket.has_value());
      EXPECT_EQ(*socket, *c.socket);
    } else {
      ASSERT_FALSE(socket.has_value());
      EXPECT_EQ(socket.error().os_code(), c.code);
    }
    EXPECT_EQ(fake.flags_asked, c.flags_asked);
    EXPECT_EQ(fake.cleared, c.cleared);
    EXPECT_EQ(fake.closed, c.closed);
  }
}

}  // namespace
}  // namespace fc
