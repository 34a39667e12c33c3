// frame-sink: a receiver for the client's frames, for demos and for anyone
// building a server. Listens on 127.0.0.1:12345, serves any number of peers
// at once, and prints each frame's payload on a line of its own.
//
//   frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]
//              [--frame-timeout SECONDS] [--memory MIB]
//
// A malformed frame, a peer silent for longer than the idle limit, or a
// frame not whole within the frame limit is reported on standard error and
// the connection dropped. Stops once N connections have ended, or when asked
// to, after printing the frames complete by then.

#include <new>
#include <span>
#include <string>
#include <string_view>

#include "console/panic.h"
#include "console/std_streams.h"
#include "net/socket_ops.h"
#include "receiver/options.h"
#include "receiver/receiver_process.h"
#include "receiver/server.h"

namespace fc::receiver {
namespace {

void say(std::string_view text) { (void)write_stderr("frame-sink: " + std::string(text) + "\n"); }

// --help and --version: a failed print is told, with the system's reason.
int print(std::string_view text) {
  Status status = write_all(stdout_device(), text);
  if (status.ok()) return 0;
  say("cannot write to standard output: " + display_text(status.error()));
  return 1;
}

// A listener on 127.0.0.1:`port` whose calls never wait.
Result<NativeSocket> listen_loopback(std::uint16_t port) {
  Result<NativeSocket> listener = listen_on(Ipv4Address{{127, 0, 0, 1}, port}, largest_backlog());
  if (!listener) return listener;
  if (Status status = set_non_blocking(*listener); !status.ok()) {
    close_socket(*listener);
    return std::unexpected(status.take_error());
  }
  return listener;
}

int run(std::span<char* const> args) {
  auto command = parse_command_line(args.empty() ? args : args.subspan(1));
  if (!command) {
    (void)write_stderr("frame-sink: " + command.error() + "\n" + kUsage);
    return 2;
  }
  if (command->action == Action::kHelp) return print(std::string(kUsage) + kHelp);
  if (command->action == Action::kVersion) return print("frame-sink " FC_VERSION "\n");
  const Options& options = command->options;
  std::string where = "127.0.0.1:" + std::to_string(options.port);
  Result<NativeSocket> listener = listen_loopback(options.port);
  if (!listener) {
    say("cannot listen on " + where + ": " + display_text(listener.error()));
    return 1;
  }
  say("listening on " + where);
  return serve(options, *listener);
}

}  // namespace
}  // namespace fc::receiver

int main(int argc, char** argv) {
  fc::receiver::prepare_receiver_process();  // first: nothing may take a standard stream's place
  int status = 1;
  try {
    status = fc::receiver::run({argv, static_cast<std::size_t>(argc)});
  } catch (const std::bad_alloc&) {
    (void)fc::write_stderr("frame-sink: out of memory\n");
  } catch (const fc::PanicUnwind&) {
    status = 1;  // the network could not start; the diagnostic is out
  }
  fc::shut_down_network();
  return status;
}
