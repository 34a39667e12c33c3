#include "receiver/connections.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "receiver/fake_peer_testing.h"

namespace fc::receiver {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Connection 1's report of a frame past the frame limit, `where` inside its
// payload.
std::string dropped_late(const std::string& where) {
  return "frame-sink: connection 1: frame not complete within 5 s (inside a payload after " +
         where + " bytes), dropped\n";
}

// Connections with an idle limit of 3 s, a frame limit of 5 s, and at a
// stop a grace of 1 s and a bound of 2 s; reads of 16 bytes at most and a
// budget of one page. Each step happens at its time, in ms: 'o' takes peer N
// on, 's' sends it bytes, 'e' ends its stream, 'r' resets it, 'h' makes its
// system refuse to wait for bytes, 'n' is news of it from the wait, 'a' looks
// again where bytes were left, 'x' drops those past a deadline, 'S' is a stop.
TEST(Connections, DeadlinesWatchesAndTheStop) {
  struct Step {
    char op;
    int peer;
    int at_ms;
    std::string bytes = {};
  };
  struct Row {
    const char* name;
    std::vector<Step> steps;
    std::string printed;
    std::string reported;
    std::vector<bool> closed;
  };
  const std::string big = framed(std::string(4000, 'b'));
  // A frame begun at 0 and kept from going idle, looked at last at `at` ms.
  auto kept_busy = [](int at) {
    return std::vector<Step>{{'o', 0, 0},    {'s', 0, 0, framed("abcdef").substr(0, 5)},
                             {'n', 0, 0},    {'s', 0, 2500, "b"},
                             {'n', 0, 2500}, {'s', 0, 4900, "c"},
                             {'n', 0, 4900}, {'x', 0, at}};
  };
  const Row rows[] = {
      {"silent a moment short of the idle limit", {{'o', 0, 0}, {'x', 0, 2999}}, "", "", {false}},
      {"silent for the idle limit",
       {{'o', 0, 0}, {'x', 0, 3000}},
       "",
       "frame-sink: connection 1: idle for 3 s, dropped\n",
       {true}},
      {"bytes that came since the last look are heard",
       {{'o', 0, 0},
        {'s', 0, 0, framed("abcdef").substr(0, 5)},
        {'n', 0, 0},
        {'s', 0, 0, "b"},
        {'x', 0, 3000},
        {'x', 0, 4999}},
       "",
       "",
       {false}},
      {"a frame a moment short of the frame limit", kept_busy(4999), "", "", {false}},
      {"a frame not whole within the frame limit",
       kept_busy(5000),
       "",
       dropped_late("3 of 6"),
       {true}},
      {"each frame has the frame limit from its own first byte",
       {{'o', 0, 0},
        {'s', 0, 0, framed("ab").substr(0, 5)},
        {'n', 0, 0},
        {'s', 0, 2500, std::string("b").append(framed("cd").substr(0, 5))},
        {'n', 0, 2500},
        {'x', 0, 5000}},
       "ab\n",
       "",
       {false}},
      {"a frame waiting for room is neither idle nor late; its limit starts with its room",
       {{'o', 0, 0},
        {'s', 0, 0, big.substr(0, 20)},
        {'n', 0, 0},
        {'o', 1, 0},
        {'s', 1, 0, big.substr(0, 20)},
        {'n', 1, 0},
        {'s', 0, 2900, "b"},
        {'n', 0, 2900},
        {'x', 0, 4999},
        {'x', 0, 5000},
        {'x', 0, 7999}},
       "",
       dropped_late("17 of 4000"),
       {true, false}},
      {"a waiting frame's peer that goes is seen at once",
       {{'o', 0, 0},
        {'s', 0, 0, big.substr(0, 20)},
        {'n', 0, 0},
        {'o', 1, 0},
        {'s', 1, 0, big.substr(0, 10)},
        {'n', 1, 0},
        {'e', 1, 5},
        {'n', 1, 5}},
       "",
       "frame-sink: connection 2: stream ended inside a payload after 6 of 4000 bytes\n",
       {false, true}},
      {"at a stop, a connection between frames is closed at once, quietly",
       {{'o', 0, 0}, {'S', 0, 100}},
       "",
       "",
       {true}},
      {"at a stop, a frame under way is read on until whole",
       {{'o', 0, 0},
        {'s', 0, 0, framed("abcdef").substr(0, 5)},
        {'n', 0, 0},
        {'S', 0, 100},
        {'s', 0, 900, "bcdef"},
        {'n', 0, 900}},
       "abcdef\n",
       "",
       {true}},
      {"at a stop, a peer silent for the grace is cut",
       {{'o', 0, 0},
        {'s', 0, 0, framed("abcdef").substr(0, 5)},
        {'n', 0, 0},
        {'S', 0, 100},
        {'x', 0, 999},
        {'x', 0, 1000}},
       "",
       "frame-sink: connection 1: stopped inside a payload after 1 of 6 bytes\n",
       {true}},
      {"at a stop, a frame that trickles is cut at the bound",
       {{'o', 0, 0},
        {'s', 0, 0, framed(std::string(12, 't')).substr(0, 5)},
        {'n', 0, 0},
        {'S', 0, 0},
        {'s', 0, 900, "t"},
        {'x', 0, 1000},
        {'s', 0, 1900, "t"},
        {'x', 0, 1999},
        {'x', 0, 2000}},
       "",
       "frame-sink: connection 1: stopped inside a payload after 3 of 12 bytes\n",
       {true}},
      {"at a stop, a whole waiting frame that cannot be given its lent room ends in its turn",
       {{'o', 0, 0},
        {'s', 0, 0, big.substr(0, 20)},
        {'n', 0, 0},
        {'o', 1, 0},
        {'s', 1, 0, big.substr(0, 20)},
        {'n', 1, 0},
        {'S', 0, 100},
        {'h', 1, 100},
        {'s', 1, 200, big.substr(20)},
        {'n', 1, 200},
        {'x', 0, 1500}},
       "",
       std::string("frame-sink: connection 2: cannot wait for input: out of memory\n") +
           "frame-sink: connection 1: stopped inside a payload after 16 of 4000 bytes\n",
       {true, true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CapturedOutput out;
    CapturedOutput err;
    LineOutput output(out);
    Printer printer(Format::kPlain, output);
    Reporter reporter(err);
    Connections connections({seconds(3), seconds(5), seconds(1), seconds(2)},
                            {16, page_size(), 4096}, printer, reporter);
    std::vector<std::shared_ptr<FakeSocket::State>> peers;
    SteadyTime zero{};
    for (const Step& step : row.steps) {
      SteadyTime at = zero + milliseconds(step.at_ms);
      if (step.op == 'o') {
        peers.push_back(std::make_shared<FakeSocket::State>());
        ASSERT_NE(connections.open(std::make_unique<FakeSocket>(peers.back()), "192.0.2.1:1", at),
                  nullptr);
        continue;
      }
      FakeSocket::State& peer = *peers[step.peer];
      switch (step.op) {
        case 's': peer.bytes.send(step.bytes); break;
        case 'e': peer.bytes.ended = true; break;
        case 'r': peer.bytes.reset = true; break;
        case 'h': peer.bytes.hold_fails = true; break;
        case 'n':
          connections.news(peer.token, peer.bytes.ended || peer.bytes.reset, peer.bytes.reset, at);
          break;
        case 'a': connections.look_again(at); break;
        case 'x': connections.expire(at); break;
        case 'S': connections.stop(at); break;
        default: FAIL() << "no step " << step.op;
      }
      while (connections.looking_again()) connections.look_again(at);
      connections.erase_closed();
    }
    EXPECT_EQ(out.text, row.printed);
    EXPECT_EQ(err.text, row.reported);
    for (std::size_t i = 0; i < row.closed.size(); ++i) {
      EXPECT_EQ(peers[i]->closed, row.closed[i]) << "peer " << i;
    }
  }
}

}  // namespace
}  // namespace fc::receiver
