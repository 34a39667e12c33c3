#include "support/child_process.h"

namespace fc::testing {

std::string client_path() { return FC_CLIENT_PATH; }

const std::vector<std::string>& program_emulator() {
  static const std::vector<std::string> command = {FC_PROGRAM_EMULATOR};
  return command;
}

ChildResult run_child(const std::string& program, const ChildOptions& options) {
  const std::vector<std::string>& emulator = program_emulator();
  if (emulator.empty()) return run_native(program, options);
  ChildOptions emulated = options;
  emulated.args.insert(emulated.args.begin(), program);
  emulated.args.insert(emulated.args.begin(), emulator.begin() + 1, emulator.end());
  return run_native(emulator.front(), emulated);
}

}  // namespace fc::testing
