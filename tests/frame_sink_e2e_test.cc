// frame-sink as the real program on real sockets, for what only the real
// program shows: its standard streams, signals and limits, and the system's
// sockets under it. How each connection's frames are read, and the
// deadlines, are tested at the speed of a function call beside the code
// (src/receiver/*_test.cc).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <list>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "json/frame_prefix.h"
#include "net/poller_testing.h"
#include "net/serving_ops.h"
#include "net/tcp_client_stream.h"
#include "support/child_process.h"
#include "support/client_checks.h"
#include "support/json_reader.h"
#include "support/receiver.h"
#include "support/sink_process.h"

namespace fc::testing {
namespace {

using namespace std::string_literals;

std::string prefix(std::size_t length) {
  FramePrefix bytes = length_prefix_for_size(length).value();
  return std::string(bytes.begin(), bytes.end());
}

std::string frame(const std::string& payload) { return prefix(payload.size()) + payload; }

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// The peers of one row: connections to the sink, kept open until the row
// ends or closes them; the sink's standard output, when it goes to a file;
// and requests to stop.
class Peers {
 public:
  Peers(std::string endpoint, std::string out_file, std::atomic<int>* stops)
      : endpoint_(std::move(endpoint)), out_file_(std::move(out_file)), stops_(stops) {}

  TcpClientStream* connect() {
    Result<TcpClientStream> stream = connect_endpoint(endpoint_);
    EXPECT_TRUE(stream.has_value()) << "cannot connect to " << endpoint_;
    if (!stream) return nullptr;
    return &streams_.emplace_back(std::move(*stream));
  }
  void send(TcpClientStream* peer, std::string_view bytes) {
    if (peer != nullptr) {
      EXPECT_TRUE(send_all(*peer, bytes).ok());
    }
  }
  // Ends the connection, with a reset when asked.
  void close(TcpClientStream* peer, bool reset = false) {
    if (peer != nullptr && reset) {
      EXPECT_TRUE(reset_on_close(peer->native()).ok());
    }
    streams_.remove_if([&](const TcpClientStream& stream) { return &stream == peer; });
  }
  void close_all() { streams_.clear(); }
  void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  void stop(int times = 1) { *stops_ += times; }
  // Whether standard output comes to hold `text` within ten seconds.
  bool printed(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (read_file(out_file_) != text) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pause(20);
    }
    return true;
  }
  const std::string& endpoint() const { return endpoint_; }

 private:
  std::string endpoint_;
  std::string out_file_;
  std::atomic<int>* stops_;
  std::list<TcpClientStream> streams_;
};

// What a row needs of the runner beyond running the program.
enum class Needs {
  kNothing,
  kSignalsAndLimits,   ///< POSIX: signals, limits, a stalled standard error
  kInjection,          ///< strace, on a native build
  kNoDescriptorsLeft,  ///< signals, and a build without sanitizers, whose own
                       ///< checks need descriptors
  kLinuxSockets,       ///< a reset told as such (wine tells it as an end)
};

struct Row {
  const char* name;
  std::vector<std::string> args;
  std::function<void(Peers&)> act;
  int status;
  std::string out;
  std::string err_part = {};  // told once; empty: any
  ChildOptions child = {};
  Needs needs = Needs::kNothing;
  double cpu_below = 0;  // when set, the processor time it may take, in seconds
  // Checks of standard output beyond `out`, which is then not compared.
  std::function<void(const std::string&)> check_out = {};
  // The host that peers connect to, and the listening line's end after the
  // port.
  std::string host = "127.0.0.1";
  std::string listening_after_port = "";
  int err_part_times = 1;
  bool summary_told = true;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class FrameSinkRow : public ::testing::TestWithParam<Row> {};

std::string skip_reason(Needs needs) {
  switch (needs) {
    case Needs::kNothing: return "";
    case Needs::kSignalsAndLimits:
      return runner_limits_and_interrupts() ? "" : "the runner cannot signal or limit it here";
    case Needs::kNoDescriptorsLeft:
      if (FC_SANITIZED_CLIENT) return "the sanitizers' own checks need descriptors";
      return runner_limits_and_interrupts() ? "" : "the runner cannot signal or limit it here";
    case Needs::kInjection:
      return runner_injects_failures() ? "" : "no strace for a native build here";
    case Needs::kLinuxSockets:
      return runner_limits_and_interrupts() ? "" : "Windows sockets tell a reset as an end";
  }
  return "";
}

TEST_P(FrameSinkRow, PrintsFramesAndTellsFaults) {
  const Row& row = GetParam();
  if (std::string why = skip_reason(row.needs); !why.empty()) GTEST_SKIP() << why;
  std::atomic<int> stops{0};
  ChildOptions options = row.child;
  if (options.out == StreamSetup::kFile) {
    // A name of its own, so that suites run side by side keep apart.
    options.out_file = ::testing::TempDir() + "frame_sink_stdout_" +
                       std::to_string(std::random_device{}()) + ".txt";
  }
  if (!options.inject.empty()) options.timeout_seconds = 10;
  if (row.needs == Needs::kSignalsAndLimits || row.needs == Needs::kNoDescriptorsLeft) {
    options.signals = &stops;
  }
  options.args = {"--port", "0"};
  options.args.insert(options.args.end(), row.args.begin(), row.args.end());
  SinkProcess sink(options);
  ASSERT_NE(sink.port(), 0) << "frame-sink never said it listens";
  std::string port = std::to_string(sink.port());
  EXPECT_TRUE(
      sink.listening().ends_with(std::string(":").append(port).append(row.listening_after_port)))
      << sink.listening();
  {
    bool ipv6 = row.host.find(':') != std::string::npos;
    std::string endpoint = ipv6 ? std::string("[").append(row.host).append("]") : row.host;
    Peers peers(endpoint.append(":").append(port), options.out_file, &stops);
    row.act(peers);
  }
  ChildResult result = sink.finish();
  if (options.out == StreamSetup::kFile) {
    result.out = read_file(options.out_file);
    (void)std::remove(options.out_file.c_str());
  }
  ASSERT_TRUE(result.exited) << "signal " << result.term_signal << "\n" << result.err;
  EXPECT_EQ(result.exit_code, row.status) << result.err;
  if (row.check_out) {
    row.check_out(result.out);
  } else {
    EXPECT_EQ(result.out.size(), row.out.size());
    EXPECT_TRUE(result.out == row.out) << result.out.substr(0, 200);
  }
  if (row.summary_told) {
    EXPECT_TRUE(result.err.ends_with(" faults\n") || result.err.ends_with(" fault\n"))
        << "no summary: " << result.err;
  }
  if (!row.err_part.empty()) {
    int told = 0;
    for (std::size_t at = result.err.find(row.err_part); at != std::string::npos;
         at = result.err.find(row.err_part, at + 1)) {
      ++told;
    }
    EXPECT_EQ(told, row.err_part_times) << result.err;
  }
  if (row.cpu_below > 0) {
    EXPECT_LT(result.cpu_seconds, row.cpu_below) << "it spun";
  }
}

// One peer that sends `bytes` and ends.
std::function<void(Peers&)> sends(const std::string& bytes) {
  return [bytes](Peers& peers) { peers.send(peers.connect(), bytes); };
}

// A peer that claims all of a 1 MiB budget and sends a byte of it, then
// `act`, then every peer ends.
std::function<void(Peers&)> beside_a_holder(const std::function<void(Peers&)>& act) {
  return [act](Peers& peers) {
    peers.send(peers.connect(), prefix(1048576) + "h");
    peers.pause(300);  // taken in first
    act(peers);
    peers.close_all();
  };
}

// A peer that sends three bytes of a six-byte payload, then the receiver
// is asked to stop.
void stopped_inside_a_payload(Peers& peers) {
  peers.send(peers.connect(), frame("abcdef").substr(0, 7));
  peers.pause(300);
  peers.stop();
  peers.pause(1300);
}

const std::string kHolderEnded = "connection 1: stream ended inside a payload after 1 of 1048576";

// Payloads of every kind a record holds: compact JSON, pretty-printed JSON,
// UTF-8 text with quotes and control bytes, bytes that are not UTF-8, none.
const std::string kJsonPayloads[] = {R"({"id":"3","message":"split"})",
                                     "{\n  \"list\": [1, 2.5e3, null],\n  \"ok\": true\n}",
                                     "say \"hi\"\t\x1b[0m \xc3\xa9", "\xff\xfe\x00\x80"s, ""};

// Standard output's lines.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

// Each record a JSON text; an opening, a frame for each payload, whose
// payload comes back exactly from the record, and an end.
void expect_json_records(const std::string& out) {
  std::vector<std::string> lines = lines_of(out);
  ASSERT_EQ(lines.size(), 7u) << out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::optional<JsonValue> record = read_json(lines[i]);
    ASSERT_TRUE(record.has_value()) << lines[i];
    const std::string* event = record->get("event") ? record->get("event")->string() : nullptr;
    const std::string* peer = record->get("peer") ? record->get("peer")->string() : nullptr;
    const std::string* time = record->get("time") ? record->get("time")->string() : nullptr;
    ASSERT_TRUE(event && peer && time) << lines[i];
    EXPECT_TRUE(peer->starts_with("127.0.0.1:")) << *peer;
    EXPECT_TRUE(time->size() == 27 && time->ends_with("Z")) << *time;
    EXPECT_EQ(*event, i == 0 ? "open" : i == 6 ? "end" : "frame") << lines[i];
    if (*event != "frame") continue;
    const std::string& payload = kJsonPayloads[i - 1];
    const JsonValue* json = record->get("json");
    const JsonValue* text = record->get("text");
    const JsonValue* base64 = record->get("base64");
    if (json != nullptr) {
      EXPECT_TRUE(*json == *read_json(payload)) << lines[i];
    }
    std::optional<std::string> recovered = text != nullptr && text->string() ? *text->string()
                                           : base64 != nullptr && base64->string()
                                               ? read_base64(*base64->string())
                                           : json != nullptr ? std::optional<std::string>(payload)
                                                             : std::nullopt;
    EXPECT_EQ(recovered, payload) << lines[i];
    EXPECT_EQ(json == nullptr, i == 3 || i == 4 || i == 5) << lines[i];
  }
}

// A line naming the connection and the length, then the dump.
void expect_hex_dumps(const std::string& out) {
  const std::string dumps[] = {
      "00000000\n", "00000000  41                                                |A|\n00000001\n",
      "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\n"
      "00000010\n",
      "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\n"
      "00000010  0a                                                |.|\n00000011\n"};
  const char* lengths[] = {"), 0 bytes:", "), 1 byte:", "), 16 bytes:", "), 17 bytes:"};
  std::string rest = out;
  for (int i = 0; i < 4; ++i) {
    std::size_t end = rest.find('\n');
    std::string head = rest.substr(0, end);
    EXPECT_TRUE(head.starts_with("connection 1 (127.0.0.1:") && head.ends_with(lengths[i])) << head;
    rest.erase(0, end + 1);
    EXPECT_TRUE(rest.starts_with(dumps[i])) << rest;
    rest.erase(0, dumps[i].size());
  }
  EXPECT_EQ(rest, "");
}
const std::string kFlood = repeated(frame(std::string(32, 'f')), 20000);
const std::string kFloodLines = repeated(std::string(32, 'f') + "\n", 20000);

const Row kRows[] = {
    {"FramesEmptyAndControlBytes",
     {"--connections", "1"},
     sends(frame(R"({"id":"3","message":"split"})") + frame("") +
           frame("\0\b\t\n\f\r\x1b[1m\x7f \\\"\xc3\xa9"s)),
     0,
     std::string(R"({"id":"3","message":"split"})") + "\n\n" +
         R"(\u0000\b\t\n\f\r\u001b[1m\u007f \")" + "\xc3\xa9\n"},
    {"AWholeFrameBeforeARefusedLength",
     {"--connections", "1"},
     sends(frame("hello") + "\x01\x00\x00\x01"s),
     1,
     "hello\n",
     "connection 1: frame length 16777217 exceeds the limit of 16777216 bytes"},
    {"ALengthJustOverABudgetOf1MiB",
     {"--connections", "1", "--memory", "1"},
     sends(prefix(1048577)),
     1,
     "",
     "connection 1: frame length 1048577 exceeds the limit of 1048576 bytes"},
    {"AnEndInsideAFrameIsToldAtOnce",
     {"--connections", "1", "--idle-timeout", "60"},
     sends(frame("abcdef").substr(0, 7)),
     1,
     "",
     "connection 1: stream ended inside a payload after 3 of 6 bytes",
     {.timeout_seconds = 20}},
    {"AFastSendersFramesAllPrinted",
     {"--connections", "1"},
     sends(repeated(frame(std::string(32, 'p')), 6000)),
     0,
     repeated(std::string(32, 'p') + "\n", 6000)},
    {"AShortFrameFloodBesideAHolderOfAllTheRoom",
     {"--connections", "2", "--memory", "1", "--frame-timeout", "60"},
     beside_a_holder([](Peers& peers) {
       peers.send(peers.connect(), kFlood);
       EXPECT_TRUE(peers.printed(kFloodLines)) << "the flood waited for room";
     }),
     1,
     kFloodLines,
     kHolderEnded,
     {.out = StreamSetup::kFile}},
    {"AShortFrameInSmallPiecesBesideAHolderOfAllTheRoom",
     {"--connections", "2", "--memory", "1", "--frame-timeout", "60"},
     beside_a_holder([](Peers& peers) {
       TcpClientStream* peer = peers.connect();
       std::string bytes = frame(std::string(20000, 's'));
       for (std::size_t at = 0; at < bytes.size(); at += 100) {
         peers.send(peer, std::string_view(bytes).substr(at, 100));
         peers.pause(1);
       }
       EXPECT_TRUE(peers.printed(std::string(20000, 's') + "\n")) << "it waited for room";
     }),
     1,
     std::string(20000, 's') + "\n",
     kHolderEnded,
     {.out = StreamSetup::kFile}},
    {"AWaitingFrameWhosePeerResetCostsNothing",
     {"--connections", "2", "--memory", "1"},
     beside_a_holder([](Peers& peers) {
       TcpClientStream* waiter = peers.connect();
       peers.send(waiter, frame(std::string(100000, 'w')));
       peers.pause(200);
       peers.close(waiter, true);
       peers.pause(1000);
     }),
     1,
     std::string(100000, 'w') + "\n",
     kHolderEnded,
     {},
     Needs::kNothing,
     0.5},
    {"AResetInsideAWaitingFrameIsToldAsAResetRead",
     {"--connections", "2", "--memory", "1"},
     beside_a_holder([](Peers& peers) {
       TcpClientStream* waiter = peers.connect();
       peers.send(waiter, prefix(100000) + std::string(10, 'w'));
       peers.pause(200);
       peers.close(waiter, true);
       peers.pause(300);
     }),
     1,
     "",
     "connection 2: read failed inside a payload after 10 of 100000 bytes: Connection reset",
     {},
     Needs::kLinuxSockets},
    {"ADiscardThatTakesNothingAfterALook",
     {"--connections", "1"},
     sends(frame("looked at")),
     1,
     "looked at\n",
     "connection 1: read failed: unexpected end of file",
     {.inject = "recvfrom:retval=0:when=2"},
     Needs::kInjection},
    {"AReadThatFailsAfterALook",
     {"--connections", "1"},
     [](Peers& peers) {
       peers.send(peers.connect(), frame("looked at"));
       peers.pause(300);
     },
     1,
     "looked at\n",
     "connection 1: read failed: Connection reset by peer (os error 104)",
     {.inject = "recvfrom:error=ECONNRESET:when=2"},
     Needs::kInjection},
    {"NoConnectionPastTheLastOne",
     {"--connections", "1"},
     [](Peers& peers) {
       peers.send(peers.connect(), frame("only"));
       EXPECT_TRUE(peers.printed("only\n"));
       Result<TcpClientStream> further = connect_endpoint(peers.endpoint());
       EXPECT_TRUE(!further && further.error().kind() == ErrorKind::ConnectionRefused)
           << "a connection past the last was taken";
     },
     0,
     "only\n",
     "",
     {.out = StreamSetup::kFile}},
    {"AWaitCutShortBySignalGoesOn",
     {"--connections", "1"},
     sends(frame("after a signal")),
     0,
     "after a signal\n",
     "",
     {.inject = "epoll_wait,epoll_pwait:error=EINTR:when=1"},
     Needs::kInjection},
    {"AWaitThatFailsEndsTheRun",
     {},
     [](Peers&) {},
     1,
     "",
     "frame-sink: wait: Invalid argument (os error 22)",
     {.inject = "epoll_wait,epoll_pwait:error=EINVAL"},
     Needs::kInjection},
    {"AcceptingRestsAfterAFailureThenGoesOn",
     {"--connections", "1"},
     sends(frame("rested")),
     1,
     "rested\n",
     "frame-sink: accept: Too many open files (os error 24)",
     {.inject = "accept4:error=EMFILE:when=1"},
     Needs::kInjection},
    {"OutputRefusedToldOnceAndReadNoFurther",
     {"--connections", "1"},
     sends(frame(std::string(70000, 'x')) + frame("lost")),
     1,
     "",
     "cannot write the frame to standard output",
     {.out = StreamSetup::kBrokenPipe}},
    {"NoInputOrOutputStreamNothingGoesToAPeer",
     {"--connections", "2", "--idle-timeout", "1"},
     [](Peers& peers) {
       TcpClientStream* idle = peers.connect();
       peers.send(peers.connect(), frame("SECRET"));
       std::uint8_t byte = 0;
       EXPECT_TRUE(readable_within(idle->native(), 10000));
       Result<std::size_t> got = receive_some(idle->native(), {&byte, 1});
       EXPECT_TRUE(got && *got == 0) << "a peer received the sink's own text";
     },
     1,
     "",
     "connection 1: idle for 1 s, dropped",
     {.in = StreamSetup::kClosed, .out = StreamSetup::kClosed}},
    {"OutputStalledPastTheIdleLimitNobodyDropped",
     {"--connections", "1", "--idle-timeout", "1"},
     sends(frame(std::string(70000, 'x')) + frame("after")),
     0,
     std::string(70000, 'x') + "\nafter\n",
     "",
     {.out_pause_ms = 2000},
     Needs::kNothing,
     1.0},
    {"AFullOutputThatRefusesWritesIsWaitedForNotPolled",
     {"--connections", "1"},
     sends(frame(std::string(70000, 'x')) + frame("after")),
     0,
     std::string(70000, 'x') + "\nafter\n",
     "",
     {.out_pause_ms = 2000, .out_non_blocking = true},
     Needs::kSignalsAndLimits,
     1.0},
    {"OutputAtItsSizeLimitReportedNoSignal",
     {"--connections", "1"},
     sends(frame(std::string(200, 'x'))),
     1,
     std::string(100, 'x'),
     "connection 1: cannot write the frame to standard output: File too large",
     {.out = StreamSetup::kFile, .file_size_limit = 100},
     Needs::kSignalsAndLimits},
    {"StoppedInsideAFrameReported",
     {},
     stopped_inside_a_payload,
     1,
     "",
     "connection 1: stopped inside a payload after 3 of 6 bytes",
     {},
     Needs::kSignalsAndLimits},
    {"TheTerminalClosedIsAStopToo",
     {},
     stopped_inside_a_payload,
     1,
     "",
     "connection 1: stopped inside a payload after 3 of 6 bytes",
     {.signal = 1},  // SIGHUP
     Needs::kSignalsAndLimits},
    {"AStopCompletesAWholeFrameThatWaitsForRoom",
     {"--memory", "1"},
     [](Peers& peers) {
       TcpClientStream* holder = peers.connect();
       peers.send(holder, prefix(1048576) + "h");
       peers.pause(300);
       peers.send(peers.connect(), frame(std::string(300000, 'w')));
       peers.pause(300);
       peers.stop();
       peers.pause(1300);
     },
     1,
     std::string(300000, 'w') + "\n",
     "connection 1: stopped inside a payload after 1 of 1048576 bytes",
     {},
     Needs::kSignalsAndLimits},
    {"AStopTakesEveryConnectionWaitingAsDescriptorsFree",
     {},
     [](Peers& peers) {
       for (int i = 0; i < 40; ++i) peers.send(peers.connect(), frame("f"));
       peers.pause(500);
       peers.stop();
       peers.pause(2500);
     },
     1,
     repeated("f\n", 40),
     "accept: Too many open files",
     {.open_files_limit = 24},
     Needs::kNoDescriptorsLeft},
    {"ASecondStopEndsItThoughStandardErrorIsBlocked",
     {},
     [](Peers& peers) {
       // Faults enough to fill the pipe that standard error is.
       for (int i = 0; i < 1200; ++i) peers.send(peers.connect(), "\xff\xff\xff\xff");
       peers.pause(500);
       peers.stop(2);
     },
     1,
     "",
     "",
     {.err_pause_ms = 30000, .timeout_seconds = 8},
     Needs::kSignalsAndLimits,
     0,
     {},
     "127.0.0.1",
     "",
     1,
     false},
    {"TimeWaitingForStandardErrorCountsAgainstNoPeer",
     {"--connections", "1201", "--idle-timeout", "2"},
     [](Peers& peers) {
       TcpClientStream* slow = peers.connect();
       peers.send(slow, frame("abcdef").substr(0, 5));
       for (int i = 0; i < 1200; ++i) peers.send(peers.connect(), "\xff\xff\xff\xff");
       peers.pause(4500);
       peers.send(slow, "bcdef");
       peers.pause(200);
       peers.close_all();
     },
     1,
     "abcdef\n",
     "connection 1201: frame length 4294967295",
     {.err_pause_ms = 4000},
     Needs::kSignalsAndLimits},
    {"JsonRecordsReadBackByAJsonReader",
     {"--connections", "1", "--format", "json"},
     sends(frame(kJsonPayloads[0]) + frame(kJsonPayloads[1]) + frame(kJsonPayloads[2]) +
           frame(kJsonPayloads[3]) + frame(kJsonPayloads[4])),
     0,
     "",
     "",
     {},
     Needs::kNothing,
     0,
     expect_json_records},
    {"HexDumpsOfFramesOf0116And17Bytes",
     {"--connections", "1", "--format", "hex"},
     sends(frame("") + frame("A") + frame("0123456789abcdef") + frame("0123456789abcdef\n")),
     0,
     "",
     "",
     {},
     Needs::kNothing,
     0,
     expect_hex_dumps},
    {"ListensOnIpv6LoopbackOnAPortOfItsOwn",
     {"--connections", "1", "--listen", "[::1]:0"},
     sends(frame("over IPv6")),
     0,
     "over IPv6\n",
     "",
     {},
     Needs::kNothing,
     0,
     {},
     "::1"},
    {"ListensOnEveryAddressIpv4Too",
     {"--connections", "1", "--listen", "[::]:0"},
     sends(frame("over IPv4")),
     0,
     "over IPv4\n",
     "",
     {},
     Needs::kNothing,
     0,
     {},
     "127.0.0.1",
     " (IPv4 too)"},
    {"StopsOnceTheFramesAskedForArePrinted",
     {"--frames", "2"},
     [](Peers& peers) {
       peers.send(peers.connect(), frame("one") + frame("two") + frame("three"));
       peers.pause(500);
     },
     0,
     "one\ntwo\n",
     "frame-sink: 2 frames, 6 bytes, 1 connection, 0 faults",
     {.timeout_seconds = 10}},
    {"ARefusedLengthThatLooksLikeHttpIsToldSo",
     {"--connections", "1"},
     sends("GET / HTTP/1.1\r\nHost: x\r\n\r\n"),
     1,
     "",
     std::string("frame length 1195725856 exceeds the limit of 16777216 bytes: ") +
         R"(its first bytes 47 45 54 20 ("GET ") look like an HTTP request, )" +
         "not a length-prefixed frame"},
    {"ASummaryWhenAskedAndAtTheEnd",
     {"--connections", "1"},
     [](Peers& peers) {
       TcpClientStream* peer = peers.connect();
       peers.send(peer, frame("hello"));
       peers.pause(300);
       peers.stop();
       peers.pause(300);
     },
     0,
     "hello\n",
     "frame-sink: 1 frame, 5 bytes, 1 connection, 0 faults",
     {.signal = 10},  // SIGUSR1
     Needs::kSignalsAndLimits,
     0,
     {},
     "127.0.0.1",
     "",
     2},
};

std::string row_name(const ::testing::TestParamInfo<Row>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(FrameSink, FrameSinkRow, ::testing::ValuesIn(kRows), row_name);

TEST(FrameSink, AnswersHelpVersionAndABadOption) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out_start;
    std::string err;
  };
  const std::string usage =
      "usage: frame-sink [--listen ADDRESS:PORT] [--port P] [--connections N]\n"
      "                  [--frames N] [--idle-timeout SECONDS] [--frame-timeout SECONDS]\n"
      "                  [--memory MIB] [--format plain|json|hex]\n"
      "       frame-sink --help | --version\n";
  const Case cases[] = {
      {{"--help"}, 0, usage + "\nListens on 127.0.0.1:12345", ""},
      {{"--version"}, 0, "frame-sink " FC_VERSION "\n", ""},
      {{"--port", "70000"},
       2,
       "",
       "frame-sink: --port: 70000 is not a port (0 to 65535)\n" + usage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ChildOptions options;
    options.args = c.args;
    ChildResult result = run_child(FC_SINK_PATH, options);
    expect_exit(result, c.exit_code);
    EXPECT_TRUE(result.out.starts_with(c.out_start)) << result.out;
    EXPECT_EQ(result.out.empty(), c.out_start.empty());
    EXPECT_EQ(result.err, c.err);
  }
  // A port that another socket holds: told why, status 1, without the usage.
  std::string why;
  auto holder = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
  ASSERT_TRUE(holder) << why;
  std::string port = std::to_string(holder->port());
  ChildOptions options;
  options.args = {"--port", port};
  ChildResult result = run_child(FC_SINK_PATH, options);
  expect_exit(result, 1);
  EXPECT_TRUE(result.err.starts_with("frame-sink: cannot listen on 127.0.0.1:" + port + ": "))
      << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

}  // namespace
}  // namespace fc::testing
