#include "receiver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace fc::receiver {
namespace {

// The defaults that --help names are the ones a bare command line takes.
TEST(Options, ABareCommandLineTakesTheDefaultsTheHelpNames) {
  std::expected<Command, std::string> command = parse_command_line({});
  ASSERT_TRUE(command.has_value());
  const Options& options = command->options;
  EXPECT_EQ(options.connections, 0u) << "the help says it never stops";
  struct Row {
    std::string_view option;
    std::uint32_t value;
  };
  const Row rows[] = {{"--port", options.port},
                      {"--idle-timeout", options.idle_seconds},
                      {"--frame-timeout", options.frame_seconds},
                      {"--memory", options.memory_mib}};
  const std::string_view help = kHelp;
  for (const Row& row : rows) {
    std::size_t start = help.find("\n  " + std::string(row.option));
    ASSERT_NE(start, std::string_view::npos) << row.option;
    std::string_view entry = help.substr(start, help.find("\n  --", start + 1) - start);
    EXPECT_NE(entry.find("(default: " + std::to_string(row.value) + ")"), std::string_view::npos)
        << entry;
  }
}

// What each command line gives: the value set, or the fault told.
std::string read(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  std::expected<Command, std::string> command = parse_command_line(argv);
  if (!command) return command.error();
  const Options& o = command->options;
  return std::to_string(o.connections) + " " + std::to_string(o.port) + " " +
         std::to_string(o.idle_seconds) + " " + std::to_string(o.frame_seconds) + " " +
         std::to_string(o.memory_mib);
}

TEST(Options, ValuesAndFaults) {
  struct Row {
    std::vector<std::string> args;
    std::string read;
  };
  std::vector<Row> rows = {
      {{}, "0 12345 10 30 64"},
      {{"--port=123"}, "0 123 10 30 64"},
      {{"--memory=2", "--idle-timeout", "5"}, "0 12345 5 30 2"},
      {{"--port", "9", "--"}, "0 9 10 30 64"},
      {{"--", "--port"}, "--port: unexpected argument"},
      {{"--port"}, "--port: needs a value"},
      {{"--port", ""}, "--port: an empty value is not a port (1 to 65535)"},
      {{"--port="}, "--port: an empty value is not a port (1 to 65535)"},
      {{"--port", "\x1b[31mRED"}, "--port: \\u001b[31mRED is not a port (1 to 65535)"},
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
                          {"--port", "a port", 1, 65535, 1},
                          {"--idle-timeout", "a number of seconds", 1, 86400, 2},
                          {"--frame-timeout", "a number of seconds", 1, 86400, 3},
                          {"--memory", "a number of MiB", 1, 1024, 4}};
  for (const Range& r : ranges) {
    std::string bounds = " (" + std::to_string(r.low) + " to " + std::to_string(r.high) + ")";
    for (std::uint64_t bad : {r.low - 1, r.high + 1}) {
      rows.push_back({{r.option, std::to_string(bad)},
                      r.option + ": " + std::to_string(bad) + " is not " + r.noun + bounds});
    }
    for (std::uint64_t good : {r.low, r.high}) {
      std::vector<std::string> fields = {"0", "12345", "10", "30", "64"};
      fields[r.field] = std::to_string(good);
      rows.push_back(
          {{r.option, std::to_string(good)},
           fields[0] + " " + fields[1] + " " + fields[2] + " " + fields[3] + " " + fields[4]});
    }
  }
  for (const Row& row : rows) {
    EXPECT_EQ(read(row.args), row.read) << testing::PrintToString(row.args);
  }
}

}  // namespace
}  // namespace fc::receiver
