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

#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "console/panic.h"
#include "console/std_streams.h"
#include "json/wire.h"
#include "net/serving_ops.h"
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

int run(std::span<char* const> args, Reporter& reporter) {
  auto command = parse_command_line(args.empty() ? args : args.subspan(1));
  if (!command) {
    reporter.fault(command.error(), kUsage);
    return 2;
  }
  if (command->action == Action::kHelp) return print(reporter, std::string(kUsage) + kHelp);
  if (command->action == Action::kVersion) return print(reporter, "frame-sink " FC_VERSION "\n");
  const Options& options = command->options;
  std::string where = "127.0.0.1:" + std::to_string(options.port);
  Result<Socket> listener = open_listener(Ipv4Address{kEndpointAddress, options.port});
  if (!listener) {
    reporter.fault("cannot listen on " + where + ": " + display_text(listener.error()));
    return 1;
  }
  reporter.note("listening on " + where);
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
