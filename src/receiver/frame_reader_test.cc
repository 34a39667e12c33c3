#include "receiver/frame_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "receiver/fake_peer_testing.h"

namespace fc::receiver {
namespace {

using namespace std::string_literals;

// What a turn's answer asks for, as a line: the watch, then "more" (look
// again), "idle" (the idle limit runs), and the frame limit.
std::string described(const Wants& wants) {
  const char* watches[] = {"failure", "end", "input"};
  const char* times[] = {"stopped", "runs", "restarts"};
  if (wants.turn == Turn::kEnded) return "ended";
  return std::string(watches[static_cast<int>(wants.watch)]) + (wants.more ? " more" : "") +
         (wants.idle_time ? " idle" : "") + " frame " + times[static_cast<int>(wants.frame_time)];
}

// Three peers before one reader: the longest read 16 bytes (a short frame
// holds 12 bytes of payload at most), a budget of one page, and a payload
// limit of one page. Steps: 's' sends bytes, 'e' ends the stream, 'r'
// resets it, 'c' lowers what the system holds to the bytes' count, 't' is a
// turn, 'd' drops the peer, 'l' lends room as at a stop.
TEST(FrameReader, TurnsOfThreePeers) {
  struct Step {
    char op;
    int peer;
    std::string bytes = {};
  };
  struct Row {
    const char* name;
    std::vector<Step> steps;
    std::string printed;
    std::array<std::string, 3> faults;
    std::array<FrameState, 3> states;
    std::string last;  // the last turn's answer
  };
  const std::string big = framed(std::string(4000, 'b'));
  const FrameState kB = FrameState::kBetween;
  const Row rows[] = {
      {"whole frames in one piece",
       {{'s', 0, framed("ab") + framed("") + framed("c")}, {'t', 0}},
       "ab\n\nc\n",
       {},
       {kB, kB, kB},
       "input idle frame stopped"},
      {"the longest short frame, in two pieces",
       {{'s', 0, framed("0123456789ab").substr(0, 9)}, {'t', 0}, {'s', 0, "56789ab"}, {'t', 0}},
       "0123456789ab\n",
       {},
       {kB, kB, kB},
       "input more idle frame stopped"},
      {"a short frame not whole stays with the system, and its limit starts",
       {{'s', 0, framed("abcdef").substr(0, 7)}, {'t', 0}},
       "",
       {},
       {FrameState::kHeld, kB, kB},
       "input idle frame restarts"},
      {"a frame done and the next begun behind it: taken in, its limit starts again",
       {{'s', 0, framed("abcdef").substr(0, 7)},
        {'t', 0},
        {'s', 0, "def" + framed("xy").substr(0, 5)},
        {'t', 0}},
       "abcdef\n",
       {},
       {FrameState::kTaken, kB, kB},
       "input idle frame restarts"},
      {"woken before it can be whole: taken in, and never waits for room",
       {{'s', 1, big.substr(0, 100)},
        {'t', 1},
        {'s', 0, framed("abcdef").substr(0, 7)},
        {'t', 0},
        {'t', 0},
        {'s', 0, "def"},
        {'t', 0}},
       "abcdef\n",
       {},
       {kB, FrameState::kLong, kB},
       "input idle frame stopped"},
      {"a prefix cut short, woken early: taken in; then the frame and those behind it",
       {{'s', 0, "\0\0"s},
        {'t', 0},
        {'t', 0},
        {'s', 0, "\0\2xy"s + framed("z")},
        {'t', 0},
        {'t', 0}},
       "xy\nz\n",
       {},
       {kB, kB, kB},
       "input idle frame stopped"},
      {"one byte of a prefix, woken early: taken in, and taken from the system",
       {{'s', 0, "\0"s}, {'t', 0}, {'t', 0}, {'s', 0, "\0\0\2xy"s}, {'t', 0}, {'t', 0}},
       "xy\n",
       {},
       {kB, kB, kB},
       "input idle frame stopped"},
      {"the system holds less than the frame: taken in at once",
       {{'c', 0, "12345"}, {'s', 0, framed("abcdef").substr(0, 6)}, {'t', 0}},
       "",
       {},
       {FrameState::kTaken, kB, kB},
       "input idle frame restarts"},
      {"a cut prefix, then the end",
       {{'s', 0, "\0\0"s}, {'e', 0}, {'t', 0}},
       "",
       {"stream ended inside a length prefix after 2 of 4 bytes"},
       {kB, kB, kB},
       "ended"},
      {"whole frames, then a length over the limit",
       {{'s', 0, framed("ok") + "\0\0\x10\1"s}, {'t', 0}},
       "ok\n",
       {std::string("frame length 4097 exceeds the limit of 4096 bytes: ") +
        R"(its first bytes 00 00 10 01 ("\x00\x00\x10\x01"))"},
       {kB, kB, kB},
       "ended"},
      {"a length taken in piece by piece, then refused, told with what it looks like",
       {{'s', 0, "GE"}, {'t', 0}, {'t', 0}, {'s', 0, "T /"}, {'t', 0}},
       "",
       {std::string("frame length 1195725856 exceeds the limit of 4096 bytes: ") +
        R"(its first bytes 47 45 54 20 ("GET ") look like an HTTP request, )" +
        "not a length-prefixed frame"},
       {kB, kB, kB},
       "ended"},
      {"a long frame has room: a read at a time, at most 16 bytes",
       {{'s', 0, big}, {'t', 0}, {'t', 0}},
       "",
       {},
       {FrameState::kLong, kB, kB},
       "input more idle frame runs"},
      {"a long frame's stream ended with bytes of it: read again, for no more news comes",
       {{'s', 0, big.substr(0, 20)}, {'e', 0}, {'t', 0}, {'t', 0}},
       "",
       {},
       {FrameState::kLong, kB, kB},
       "input more idle frame runs"},
      {"a prefix taken in, its stream ended with bytes of it: read again",
       {{'s', 0, "\0\0"s}, {'t', 0}, {'t', 0}, {'s', 0, "\0"s}, {'e', 0}, {'t', 0}},
       "",
       {},
       {FrameState::kTaken, kB, kB},
       "input more idle frame runs"},
      {"a long frame without room waits, neither idle nor late",
       {{'s', 0, big.substr(0, 20)}, {'t', 0}, {'s', 1, big.substr(0, 20)}, {'t', 1}},
       "",
       {},
       {FrameState::kLong, FrameState::kWaiting, kB},
       "input frame stopped"},
      {"a waiting frame that has all come goes first",
       {{'s', 0, big.substr(0, 20)},
        {'t', 0},
        {'s', 1, big.substr(0, 20)},
        {'t', 1},
        {'s', 2, big},
        {'t', 2},
        {'d', 0}},
       "",
       {},
       {kB, FrameState::kWaiting, FrameState::kLong},
       "failure frame stopped"},
      {"a waiting frame whose stream ends before it has all come",
       {{'s', 0, big.substr(0, 20)}, {'t', 0}, {'s', 1, big.substr(0, 30)}, {'e', 1}, {'t', 1}},
       "",
       {"", "stream ended inside a payload after 26 of 4000 bytes"},
       {FrameState::kLong, kB, kB},
       "ended"},
      {"a waiting frame whose connection is reset",
       {{'s', 0, big.substr(0, 20)}, {'t', 0}, {'s', 1, big.substr(0, 30)}, {'r', 1}, {'t', 1}},
       "",
       {"", "read failed inside a payload after 26 of 4000 bytes: connection reset"},
       {FrameState::kLong, kB, kB},
       "ended"},
      {"a whole waiting frame is printed though its peer has gone",
       {{'s', 0, big.substr(0, 20)},
        {'t', 0},
        {'s', 1, framed("x") + big},
        {'e', 1},
        {'t', 1},
        {'t', 1},
        {'d', 0},
        {'t', 1}},
       "x\n",
       {},
       {kB, FrameState::kLong, kB},
       "input more idle frame restarts"},
      {"at a stop a waiting frame that has all come is lent room",
       {{'s', 0, big.substr(0, 20)}, {'t', 0}, {'s', 1, big}, {'t', 1}, {'l', 0}},
       "",
       {},
       {FrameState::kLong, FrameState::kLong, kB},
       "failure frame stopped"},
      {"nothing is lent to a frame that has not all come",
       {{'s', 0, big.substr(0, 20)}, {'t', 0}, {'s', 1, big.substr(0, 30)}, {'t', 1}, {'l', 0}},
       "",
       {},
       {FrameState::kLong, FrameState::kWaiting, kB},
       "input frame stopped"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CapturedOutput captured;
    LineOutput output(captured);
    Printer printer(Format::kPlain, output);
    FrameReader reader({16, page_size(), 4096}, printer);
    FakePeer peers[3];
    std::string last;
    for (const Step& step : row.steps) {
      FakePeer& peer = peers[step.peer];
      switch (step.op) {
        case 's': peer.bytes.send(step.bytes); break;
        case 'e': peer.bytes.ended = true; break;
        case 'r': peer.bytes.reset = true; break;
        case 'c': peer.bytes.capacity = step.bytes.size(); break;
        case 'd': reader.drop(peer.frames); break;
        case 'l': reader.lend(); break;
        default: FAIL() << "no step " << step.op;
        case 't': {
          StreamEnd end = peer.bytes.reset   ? StreamEnd::kUnclear
                          : peer.bytes.ended ? StreamEnd::kClean
                                             : StreamEnd::kOpen;
          Wants wants = reader.take(peer.frames, end);
          if (wants.turn == Turn::kEnded) reader.drop(peer.frames);
          last = described(wants);
          break;
        }
      }
    }
    EXPECT_EQ(captured.text, row.printed);
    EXPECT_EQ(last, row.last);
    for (int i = 0; i < 3; ++i) {
      std::string faults;
      for (const std::string& fault : peers[i].faults) faults += fault;
      EXPECT_EQ(faults, row.faults[i]) << "peer " << i;
      EXPECT_EQ(peers[i].frames.state(), row.states[i]) << "peer " << i;
    }
    if (std::string(row.name).starts_with("a long frame has room")) {
      EXPECT_EQ(peers[0].bytes.queued.size(), big.size() - std::size_t{32})
          << "at most 16 bytes a read";
    }
    if (std::string(row.name).starts_with("woken before")) {
      EXPECT_TRUE(peers[0].bytes.queued.empty()) << "taken in, so that the rest can come";
    }
  }
}

// Where a frame under way stands, as reports tell it: for a short frame
// that stays with the system, what waits there now, its prefix completed
// since the last look included, and nothing of the next frame.
TEST(FrameReader, PositionCountsWhatWaitsNow) {
  struct Row {
    std::string looked_at;
    std::string came_since;
    const char* position;
  };
  const std::string frame = framed("abcdefghij");
  const Row rows[] = {
      {frame.substr(0, 5), frame.substr(5, 5), "inside a payload after 6 of 10 bytes"},
      {frame.substr(0, 2), frame.substr(2, 7), "inside a payload after 5 of 10 bytes"},
      {frame.substr(0, 2), frame.substr(2, 1), "inside a length prefix after 3 of 4 bytes"},
      {frame.substr(0, 2), frame.substr(2) + framed("xy"), "inside a payload after 10 of 10 bytes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.position);
    CapturedOutput captured;
    LineOutput output(captured);
    Printer printer(Format::kPlain, output);
    FrameReader reader({16, page_size(), 4096}, printer);
    FakePeer peer;
    peer.bytes.send(row.looked_at);
    (void)reader.take(peer.frames, StreamEnd::kOpen);
    peer.bytes.send(row.came_since);
    EXPECT_TRUE(reader.heard_since(peer.frames));
    EXPECT_FALSE(reader.heard_since(peer.frames));
    EXPECT_EQ(reader.position(peer.frames), row.position);
  }
}

}  // namespace
}  // namespace fc::receiver
