// frame-sink: a receiver for the client's frames, for demos and for anyone
// building a server. Listens on 127.0.0.1:12345, serves any number of peers
// at once, and prints each frame's payload on a line of its own.
//
//   frame-sink [--connections N] [--port P] [--idle-timeout SECONDS]
//              [--memory MIB]
//
// A malformed frame, or a peer silent for longer than the idle limit, is
// reported on standard error and the connection dropped. Stops once N
// connections have ended, or when asked to, after printing the frames
// complete by then.

#include <new>
#include <span>
#include <string>
#include <string_view>

#include "console/std_streams.h"
#include "sink_options.h"
#include "sink_platform.h"
#include "sink_server.h"

namespace {

using namespace fc::sink;

int print(std::string_view text) { return fc::write_all(fc::stdout_device(), text).ok() ? 0 : 1; }

int run(std::span<char* const> args) {
  auto command = parse_command_line(args.empty() ? args : args.subspan(1));
  if (!command) {
    (void)fc::write_stderr("frame-sink: " + command.error() + "\n" + kUsage);
    return 2;
  }
  if (command->action == Action::kHelp) return print(std::string(kUsage) + kHelp);
  if (command->action == Action::kVersion) return print("frame-sink " FC_VERSION "\n");
  const Options& options = command->options;
  std::string where = "127.0.0.1:" + std::to_string(options.port);
  std::string why;
  SocketHandle listener = listen_loopback(options.port, largest_backlog(), &why);
  if (listener != kNoSocket && !make_non_blocking(listener)) {
    why = last_error_text();
    close_socket(listener);
    listener = kNoSocket;
  }
  if (listener == kNoSocket) {
    (void)fc::write_stderr("frame-sink: cannot listen on " + where + ": " + why + "\n");
    return 1;
  }
  (void)fc::write_stderr("frame-sink: listening on " + where + "\n");
  return serve(options, listener);
}

}  // namespace

int main(int argc, char** argv) {
  prepare_process();  // first: nothing may take a standard stream's place
  try {
    return run({argv, static_cast<std::size_t>(argc)});
  } catch (const std::bad_alloc&) {
    (void)fc::write_stderr("frame-sink: out of memory\n");
    return 1;
  }
}
