#include "net/poller.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace fc {
namespace {

// More sockets ready than one wait hands over (256): each is told once, the
// rest in the waits that follow.
TEST(Poller, TellsEveryReadySocketOnceOverSeveralWaits) {
  constexpr std::size_t kSockets = 300;
  Result<Poller> poller = Poller::open();
  ASSERT_TRUE(poller.has_value());
  std::vector<std::array<int, 2>> pairs(kSockets);
  for (std::size_t i = 0; i < kSockets; ++i) {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pairs[i].data()), 0);
    ASSERT_TRUE(poller->add(static_cast<NativeSocket>(pairs[i][0]), Watch::kInput, i + 1).ok());
    ASSERT_EQ(write(pairs[i][1], "x", 1), 1);
  }
  std::vector<int> told(kSockets + 1, 0);
  std::size_t seen = 0;
  int waits = 0;
  for (; seen < kSockets && waits < 10; ++waits) {
    Result<std::span<const PollEvent>> events = poller->wait(1000);
    ASSERT_TRUE(events.has_value());
    for (const PollEvent& event : *events) {
      ASSERT_TRUE(event.token >= 1 && event.token <= kSockets) << event.token;
      ++told[event.token];
      ++seen;
      char byte;
      EXPECT_EQ(read(pairs[event.token - 1][0], &byte, 1), 1);  // no longer ready
    }
  }
  EXPECT_EQ(seen, kSockets);
  EXPECT_GE(waits, 2);
  for (std::size_t token = 1; token <= kSockets; ++token) EXPECT_EQ(told[token], 1) << token;
  for (const auto& pair : pairs) {
    close(pair[0]);
    close(pair[1]);
  }
}

}  // namespace
}  // namespace fc
