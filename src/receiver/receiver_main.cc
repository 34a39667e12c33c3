// frame-sink: a receiver for the client's frames, for demos, for anyone
// building a server, and for debugging a length-prefixed protocol. Listens on
// 127.0.0.1:12345 unless told otherwise, serves any number of peers at once,
// and prints each frame's payload on a line of its own, or a record of it
// (options.cc has the command line).
//
// A malformed frame, a peer silent for longer than the idle limit, or a
// frame not whole within the frame limit is reported on standard error and
// the connection dropped. Stops once N connections have ended, or N frames
// are printed, or when asked to, after printing the frames complete by then.

#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "console/panic.h"
#include "console/std_streams.h"
#include "net/serving_ops.h"
#include "net/socket_address.h"
#include "receiver/line_output.h"
#include "receiver/options.h"
#include "receiver/receiver_process.h"
#include "receiver/reporter.h"
#include "receiver/server.h"

namespace fc::receiver {
namespace {

// --help and --version: a failed print is told, with the system's reason.
int print(Reporter& reporter, std::string_view text) {
  Status status = write_all(stdout_device(), text);
  if (status.ok()) return 0;
  reporter.fault("cannot write to standard output: " + display_text(status.error()));
  return 1;
}

// "listening on ADDRESS:PORT", the port the system chose for port 0: the
// line a script waits for. An IPv6 listener that takes IPv4 too says so.
std::string listening(const Socket& listener, const SocketAddress& asked) {
  Result<SocketAddress> bound = local_address(listener.native());
  std::string line = "listening on " + socket_address_text(bound ? *bound : asked);
  if (std::holds_alternative<Ipv6Address>(asked) && takes_ipv4_too(listener.native())) {
    line += " (IPv4 too)";
  }
  return line;
}

int run(std::span<char* const> args, Reporter& reporter) {
  auto command = parse_command_line(args.empty() ? args : args.subspan(1));
  if (!command) {
    reporter.fault(command.error(), kUsage);
    return 2;
  }
  if (command->action == Action::kHelp) return print(reporter, std::string(kUsage) + kHelp);
  if (command->action == Action::kVersion) return print(reporter, "frame-sink " FC_VERSION "\n");
  const Options& options = command->options;
  Result<Socket> listener = open_listener(options.listen);
  if (!listener) {
    reporter.fault("cannot listen on " + socket_address_text(options.listen) + ": " +
                   display_text(listener.error()));
    return 1;
  }
  reporter.note(listening(*listener, options.listen));
  // The line buffer is large: it lives on the heap, not the stack.
  auto output = std::make_unique<LineOutput>(stdout_device(), stop_forced);
  return serve(options, std::move(*listener), reporter, *output);
}

}  // namespace
}  // namespace fc::receiver

int main(int argc, char** argv) {
  fc::receiver::prepare_receiver_process();  // first: nothing may take a standard stream's place
  fc::receiver::Reporter reporter(fc::stderr_device(), fc::receiver::stop_forced);
  int status = 1;
  try {
    status = fc::receiver::run({argv, static_cast<std::size_t>(argc)}, reporter);
  } catch (const std::bad_alloc&) {
    reporter.out_of_memory();
  } catch (const fc::PanicUnwind&) {
    status = 1;  // the network could not start; the diagnostic is out
  }
  fc::shut_down_network();
  return status;
}
