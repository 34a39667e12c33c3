#include "receiver/options.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <string_view>

#include "receiver/line_output.h"

namespace fc::receiver {

const char kUsage[] =
    "usage: frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]\n"
    "                  [--frame-timeout SECONDS] [--memory MIB]\n"
    "       frame-sink --help | --version\n";

const char kHelp[] =
    "\n"
    "Listens on 127.0.0.1, serves any number of peers at once and prints the\n"
    "payload of each frame (a 4-byte big-endian length, then the payload) on a\n"
    "line of its own. Bytes below 0x20 and the byte 0x7F are printed as JSON\n"
    "escapes (\\n, \\t, \\u001b, ...); every other byte, a backslash too, is\n"
    "printed as it is, so compact JSON prints unchanged.\n"
    "\n"
    "  --connections N         take N connections, 1 to 4294967295, and stop\n"
    "                          once they have ended (default: never)\n"
    "  --port P                listen on port P, 1 to 65535 (default: 12345)\n"
    "  --idle-timeout SECONDS  drop a connection silent for SECONDS, 1 to 86400\n"
    "                          (default: 10)\n"
    "  --frame-timeout SECONDS drop a connection whose frame is not whole\n"
    "                          SECONDS after it began, or after it got its room,\n"
    "                          1 to 86400 (default: 30)\n"
    "  --memory MIB            hold at most MIB MiB of frames at once, 1 to 1024\n"
    "                          (default: 64); a frame longer than that, or than\n"
    "                          16 MiB, is refused\n"
    "  --help                  print this help and exit\n"
    "  --version               print the version and exit\n";

namespace {

// One numeric option: its name, what a value counts, and its bounds.
struct NumberOption {
  std::string_view name;
  std::string_view noun;
  std::uint32_t low;
  std::uint32_t high;
};

constexpr NumberOption kConnections{"--connections", "a number of connections", 1, 4294967295u};
constexpr NumberOption kPort{"--port", "a port", 1, 65535};
constexpr NumberOption kIdle{"--idle-timeout", "a number of seconds", 1, 86400};
constexpr NumberOption kFrame{"--frame-timeout", "a number of seconds", 1, 86400};
constexpr NumberOption kMemory{"--memory", "a number of MiB", 1, 1024};

// Plain decimal digits only: no sign, no blank, no other base.
std::optional<std::uint32_t> read_number(std::string_view text, const NumberOption& option) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > option.high) return std::nullopt;
  }
  if (value < option.low) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// The value is shown as a payload is, so that no control byte of it reaches
// the terminal.
std::string not_a(const NumberOption& option, std::string_view text) {
  std::string value = text.empty() ? "an empty value" : shown_text(text);
  return std::string(option.name) + ": " + value + " is not " + std::string(option.noun) + " (" +
         std::to_string(option.low) + " to " + std::to_string(option.high) + ")";
}

}  // namespace

std::expected<Command, std::string> parse_command_line(std::span<char* const> args) {
  Command command;
  Options& options = command.options;
  std::uint32_t port = options.port;
  const std::pair<const NumberOption*, std::uint32_t*> numbers[] = {
      {&kConnections, &options.connections},
      {&kPort, &port},
      {&kIdle, &options.idle_seconds},
      {&kFrame, &options.frame_seconds},
      {&kMemory, &options.memory_mib}};
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (options_ended) return std::unexpected(shown_text(arg) + ": unexpected argument");
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "--version") {
      command.action = arg == "--help" ? Action::kHelp : Action::kVersion;
      return command;
    }
    // --name=value, as GNU programs take it, or --name value.
    std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
    std::string_view name = arg.substr(0, equals);
    const auto* number = std::find_if(std::begin(numbers), std::end(numbers),
                                      [&](const auto& entry) { return entry.first->name == name; });
    if (number == std::end(numbers)) {
      return std::unexpected(shown_text(name) + ": unknown option");
    }
    if (equals == std::string_view::npos && i + 1 == args.size()) {
      return std::unexpected(std::string(name) + ": needs a value");
    }
    std::string_view text = equals == std::string_view::npos ? args[++i] : arg.substr(equals + 1);
    std::optional<std::uint32_t> value = read_number(text, *number->first);
    if (!value) return std::unexpected(not_a(*number->first, text));
    *number->second = *value;
  }
  options.port = static_cast<std::uint16_t>(port);
  return command;
}

}  // namespace fc::receiver
