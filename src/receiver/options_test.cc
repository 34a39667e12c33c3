#include "receiver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "net/socket_address.h"

namespace fc::receiver {
namespace {

// The defaults that --help names are the ones a bare command line takes.
TEST(Options, ABareCommandLineTakesTheDefaultsTheHelpNames) {
  std::expected<Command, std::string> command = parse_command_line({});
  ASSERT_TRUE(command.has_value());
  const Options& options = command->options;
  EXPECT_EQ(options.connections, 0u) << "the help says it never stops";
  EXPECT_EQ(options.frames, 0u) << "the help says it never stops";
  EXPECT_EQ(options.format, Format::kPlain);
  struct Row {
    std::string_view option;
    std::string value;
  };
  const Row rows[] = {{"--listen", socket_address_text(options.listen)},
                      {"--port", std::to_string(port_of(options.listen))},
                      {"--idle-timeout", std::to_string(options.idle_seconds)},
                      {"--frame-timeout", std::to_string(options.frame_seconds)},
                      {"--memory", std::to_string(options.memory_mib)}};
  const std::string_view help = kHelp;
  for (const Row& row : rows) {
    std::size_t start = help.find("\n  " + std::string(row.option));
    ASSERT_NE(start, std::string_view::npos) << row.option;
    std::string_view entry = help.substr(start, help.find("\n  --", start + 1) - start);
    EXPECT_NE(entry.find("(default: " + row.value + ")"), std::string_view::npos) << entry;
  }
}

// What each command line gives: the values set, or the fault told.
std::string read(std::vector<std::string> args) {
  std::vector<char*> argv;
  argv.reserve(args.size());
  for (std::string& arg : args) argv.push_back(arg.data());
  std::expected<Command, std::string> command = parse_command_line(argv);
  if (!command) return command.error();
  const Options& o = command->options;
  const char* formats[] = {"plain", "json", "hex"};
  return std::to_string(o.connections) + " " + socket_address_text(o.listen) + " " +
         std::to_string(o.idle_seconds) + " " + std::to_string(o.frame_seconds) + " " +
         std::to_string(o.memory_mib) + " " + formats[static_cast<int>(o.format)] + " " +
         std::to_string(o.frames);
}

TEST(Options, ValuesAndFaults) {
  struct Row {
    std::vector<std::string> args;
    std::string read;
  };
  const std::string rest = " 10 30 64 plain 0";
  std::vector<Row> rows = {
      {{}, "0 127.0.0.1:12345" + rest},
      {{"--port=123"}, "0 127.0.0.1:123" + rest},
      {{"--memory=2", "--idle-timeout", "5"}, "0 127.0.0.1:12345 5 30 2 plain 0"},
      {{"--port", "9", "--"}, "0 127.0.0.1:9" + rest},
      {{"--listen", "[::]:0"}, "0 [::]:0" + rest},
      {{"--listen=0.0.0.0:9000", "--port", "7"}, "0 0.0.0.0:7" + rest},
      {{"--listen", "[fe80::1%7]:80"}, "0 [fe80::1%7]:80" + rest},
      {{"--listen", "localhost:80"},
       std::string("--listen: localhost:80 is not an address and port ") +
           "(such as 127.0.0.1:12345 or [::1]:12345)"},
      {{"--format", "json"}, "0 127.0.0.1:12345 10 30 64 json 0"},
      {{"--format=hex"}, "0 127.0.0.1:12345 10 30 64 hex 0"},
      {{"--format", "JSON"}, "--format: JSON is not a format (plain, json or hex)"},
      {{"--frames", "18446744073709551615"},
       "0 127.0.0.1:12345 10 30 64 plain 18446744073709551615"},
      {{"--frames", "18446744073709551616"},
       "--frames: 18446744073709551616 is not a number of frames (1 to 18446744073709551615)"},
      {{"--", "--port"}, "--port: unexpected argument"},
      {{"--port"}, "--port: needs a value"},
      {{"--port", ""}, "--port: an empty value is not a port (0 to 65535)"},
      {{"--port="}, "--port: an empty value is not a port (0 to 65535)"},
      {{"--port", "\x1b[31mRED"}, "--port: \\u001b[31mRED is not a port (0 to 65535)"},
      {{"--po\x07rt"}, "--po\\u0007rt: unknown option"},
      {{"-h"}, "-h: unknown option"},
      {{"--connections", " 5"},
       "--connections:  5 is not a number of connections (1 to 4294967295)"},
      {{"--connections", "+3"},
       "--connections: +3 is not a number of connections (1 to 4294967295)"},
  };
  // Each number at both ends of its range, and just past them.
  struct Range {
    std::string option;
    std::string noun;
    std::uint64_t low;
    std::uint64_t high;
    int field;  // its place in what read() gives
  };
  const Range ranges[] = {{"--connections", "a number of connections", 1, 4294967295, 0},
                          {"--port", "a port", 0, 65535, 1},
                          {"--idle-timeout", "a number of seconds", 1, 86400, 2},
                          {"--frame-timeout", "a number of seconds", 1, 86400, 3},
                          {"--memory", "a number of MiB", 1, 1024, 4}};
  for (const Range& r : ranges) {
    std::string bounds = " (" + std::to_string(r.low) + " to " + std::to_string(r.high) + ")";
    for (std::uint64_t bad : {r.low - 1, r.high + 1}) {
      std::string value = bad == UINT64_MAX ? "-1" : std::to_string(bad);  // below 0
      std::string fault = r.option;
      fault.append(": ").append(value).append(" is not ").append(r.noun).append(bounds);
      rows.push_back({{r.option, value}, fault});
    }
    for (std::uint64_t good : {r.low, r.high}) {
      std::vector<std::string> fields = {"0", "127.0.0.1:12345", "10", "30", "64"};
      fields[r.field] = r.field == 1 ? "127.0.0.1:" + std::to_string(good) : std::to_string(good);
      rows.push_back({{r.option, std::to_string(good)},
                      fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3] + " " +
                          fields[4] + " plain 0"});
    }
  }
  for (const Row& row : rows) {
    EXPECT_EQ(read(row.args), row.read) << testing::PrintToString(row.args);
  }
}

}  // namespace
}  // namespace fc::receiver
