#include "receiver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

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

}  // namespace
}  // namespace fc::receiver
