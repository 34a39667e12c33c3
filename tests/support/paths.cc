#include "support/child_process.h"

namespace fc::testing {

std::string client_path() { return FC_CLIENT_PATH; }

const std::vector<std::string>& program_emulator() {
  static const std::vector<std::string> command = {FC_PROGRAM_EMULATOR};
  return command;
}

ChildResult run_child(const std::string& program, const ChildOptions& options) {
  if (!options.inject.empty()) {
    ChildOptions traced = options;
    traced.inject.clear();
    // LeakSanitizer cannot work under a tracer: the sanitized builds' leak
    // check is left to the runs without one.
    traced.args.insert(traced.args.begin(),
                       {"-f", "-qq", "-o", "/dev/null", "-E", "ASAN_OPTIONS=detect_leaks=0", "-e",
                        "inject=" + options.inject, program});
    return run_native(kStrace, traced);
  }
  const std::vector<std::string>& emulator = program_emulator();
  if (emulator.empty()) return run_native(program, options);
  ChildOptions emulated = options;
  emulated.args.insert(emulated.args.begin(), program);
  emulated.args.insert(emulated.args.begin(), emulator.begin() + 1, emulator.end());
  return run_native(emulator.front(), emulated);
}

}  // namespace fc::testing
