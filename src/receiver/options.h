#ifndef FC_RECEIVER_OPTIONS_H_
#define FC_RECEIVER_OPTIONS_H_

#include <cstdint>
#include <expected>
#include <span>
#include <string>

#include "json/wire.h"
#include "net/socket_address.h"

// frame-sink's command line.

namespace fc::receiver {

/// How frames are printed (printer.h).
enum class Format { kPlain, kJson, kHex };

struct Options {
  std::uint32_t connections = 0;  ///< stop once this many have ended; 0: never
  /// Where to listen; port 0 lets the system choose one.
  SocketAddress listen = Ipv4Address{kEndpointAddress, kEndpointPort};
  std::uint32_t idle_seconds = 10;  ///< a peer silent this long is dropped
  /// A peer whose frame is not whole this long after it began (or got its
  /// room) is dropped.
  std::uint32_t frame_seconds = 30;
  std::uint32_t memory_mib = 64;  ///< the most frame bytes held at once, in MiB
  Format format = Format::kPlain;
  std::uint64_t frames = 0;  ///< stop once this many are printed; 0: never
};

enum class Action { kServe, kHelp, kVersion };

struct Command {
  Action action = Action::kServe;
  Options options;
};

/// The usage lines, for standard error after a fault and atop the help.
extern const char kUsage[];
/// What follows the usage in --help.
extern const char kHelp[];

/// The command line (without the program's name) read: each option as
/// "--name value" or "--name=value", "--" ending the options; --help and
/// --version take effect where they stand. A fault is told as the option and
/// why, as in "--port: 70000 is not a port (0 to 65535)", the text given
/// shown as a payload is, its control bytes escaped.
std::expected<Command, std::string> parse_command_line(std::span<char* const> args);

/// The port of an address of either family.
std::uint16_t port_of(const SocketAddress& address);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_OPTIONS_H_
