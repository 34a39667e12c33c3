#include "receiver/options.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <variant>

#include "receiver/line_output.h"

namespace fc::receiver {

const char kUsage[] =
    "usage: frame-sink [--listen ADDRESS:PORT] [--port P] [--connections N]\n"
    "                  [--frames N] [--idle-timeout SECONDS] [--frame-timeout SECONDS]\n"
    "                  [--memory MIB] [--format plain|json|hex]\n"
    "       frame-sink --help | --version\n";

const char kHelp[] =
    "\n"
    "Listens on 127.0.0.1:12345 unless told otherwise, serves any number of\n"
    "peers at once and prints the payload of each frame (a 4-byte big-endian\n"
    "length, then the payload) on a line of its own. Bytes below 0x20 and the\n"
    "byte 0x7F are printed as JSON escapes (\\n, \\t, \\u001b, ...); every other\n"
    "byte, a backslash too, is printed as it is, so compact JSON prints\n"
    "unchanged.\n"
    "\n"
    "  --listen ADDRESS:PORT   listen there, as 0.0.0.0:9000, [::1]:12345 or\n"
    "                          [::]:0 (default: 127.0.0.1:12345); an address\n"
    "                          other than loopback lets other machines send\n"
    "  --port P                listen on port P, 0 to 65535, 0 for one the system\n"
    "                          picks (default: 12345)\n"
    "  --connections N         take N connections, 1 to 4294967295, and stop\n"
    "                          once they have ended (default: never)\n"
    "  --frames N              stop once N frames are printed, 1 to\n"
    "                          18446744073709551615 (default: never)\n"
    "  --idle-timeout SECONDS  drop a connection silent for SECONDS, 1 to 86400\n"
    "                          (default: 10)\n"
    "  --frame-timeout SECONDS drop a connection whose frame is not whole\n"
    "                          SECONDS after it began, or after it got its room,\n"
    "                          1 to 86400 (default: 30)\n"
    "  --memory MIB            hold at most MIB MiB of frames at once, 1 to 1024\n"
    "                          (default: 64); a frame longer than that, or than\n"
    "                          16 MiB, is refused\n"
    "  --format FORMAT         plain: each payload on a line (default); json: a\n"
    "                          JSON record a line for each frame and each\n"
    "                          connection's opening, fault and end; hex: each\n"
    "                          frame as hexdump -C shows bytes\n"
    "  --help                  print this help and exit\n"
    "  --version               print the version and exit\n";

namespace {

// One numeric option: its name, what a value counts, and its bounds.
struct NumberOption {
  std::string_view name;
  std::string_view noun;
  std::uint64_t low;
  std::uint64_t high;
};

constexpr NumberOption kConnections{"--connections", "a number of connections", 1, 4294967295u};
constexpr NumberOption kFrames{"--frames", "a number of frames", 1, UINT64_MAX};
constexpr NumberOption kPort{"--port", "a port", 0, 65535};
constexpr NumberOption kIdle{"--idle-timeout", "a number of seconds", 1, 86400};
constexpr NumberOption kFrame{"--frame-timeout", "a number of seconds", 1, 86400};
constexpr NumberOption kMemory{"--memory", "a number of MiB", 1, 1024};

// What a value that is not read is told as: shown as a payload is, so that
// no control byte of it reaches the terminal.
std::string shown_value(std::string_view text) {
  return text.empty() ? "an empty value" : shown_text(text);
}

// Plain decimal digits only: no sign, no blank, no other base.
std::optional<std::uint64_t> read_number(std::string_view text, const NumberOption& option) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (option.high - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (value < option.low) return std::nullopt;
  return value;
}

std::string not_a(const NumberOption& option, std::string_view text) {
  return std::string(option.name) + ": " + shown_value(text) + " is not " +
         std::string(option.noun) + " (" + std::to_string(option.low) + " to " +
         std::to_string(option.high) + ")";
}

void set_port(SocketAddress& address, std::uint16_t port) {
  std::visit([port](auto& family) { family.port = port; }, address);
}

// Sets the option named to the value; a fault told as the option and why.
std::optional<std::string> set(Options& options, std::string_view name, std::string_view text) {
  if (name == "--listen") {
    std::optional<SocketAddress> address = parse_socket_address(text);
    if (!address) {
      return "--listen: " + shown_value(text) +
             " is not an address and port (such as 127.0.0.1:12345 or [::1]:12345)";
    }
    options.listen = *address;
    return std::nullopt;
  }
  if (name == "--format") {
    const std::pair<std::string_view, Format> formats[] = {
        {"plain", Format::kPlain}, {"json", Format::kJson}, {"hex", Format::kHex}};
    const auto* format = std::find_if(std::begin(formats), std::end(formats),
                                      [&](const auto& entry) { return entry.first == text; });
    if (format == std::end(formats)) {
      return "--format: " + shown_value(text) + " is not a format (plain, json or hex)";
    }
    options.format = format->second;
    return std::nullopt;
  }
  for (const NumberOption* number : {&kConnections, &kFrames, &kPort, &kIdle, &kFrame, &kMemory}) {
    if (number->name != name) continue;
    std::optional<std::uint64_t> value = read_number(text, *number);
    if (!value) return not_a(*number, text);
    if (number == &kConnections) options.connections = static_cast<std::uint32_t>(*value);
    if (number == &kFrames) options.frames = *value;
    if (number == &kPort) set_port(options.listen, static_cast<std::uint16_t>(*value));
    if (number == &kIdle) options.idle_seconds = static_cast<std::uint32_t>(*value);
    if (number == &kFrame) options.frame_seconds = static_cast<std::uint32_t>(*value);
    if (number == &kMemory) options.memory_mib = static_cast<std::uint32_t>(*value);
    return std::nullopt;
  }
  return shown_text(name) + ": unknown option";
}

}  // namespace

std::expected<Command, std::string> parse_command_line(std::span<char* const> args) {
  Command command;
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
    std::string_view text;
    if (equals != std::string_view::npos) {
      text = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      text = args[++i];
    } else {
      // A name that takes no value is unknown, whatever follows it.
      std::optional<std::string> fault = set(command.options, name, "");
      if (fault && fault->ends_with(": unknown option")) return std::unexpected(*fault);
      return std::unexpected(std::string(name) + ": needs a value");
    }
    if (std::optional<std::string> fault = set(command.options, name, text)) {
      return std::unexpected(*fault);
    }
  }
  return command;
}

std::uint16_t port_of(const SocketAddress& address) {
  return std::visit([](const auto& family) { return family.port; }, address);
}

}  // namespace fc::receiver
