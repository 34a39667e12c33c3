#include "receiver/reporter.h"

namespace fc::receiver {

void Reporter::note(std::string_view text) { write(text); }

void Reporter::fault(std::string_view text, std::string_view then) {
  ++faults_;
  if (!write_all(paced_, line(text, then)).ok()) ++unwritten_;
}

void Reporter::fault(std::uint64_t number, std::string_view text) {
  fault("connection " + std::to_string(number) + ": " + std::string(text));
}

void Reporter::last_fault(std::string_view text, bool fault) {
  if (fault) ++faults_;
  std::string whole = line(text);
  Result<std::size_t> taken = device_.write_at_once(whole);
  if (!taken || *taken < whole.size()) ++unwritten_;
}

void Reporter::finish() {
  if (unwritten_ > 0) write(counted(unwritten_, "report") + " not written");
}

void Reporter::out_of_memory() {
  ++faults_;
  (void)write_all(paced_, "frame-sink: out of memory\n");
}

std::string Reporter::line(std::string_view text, std::string_view then) const {
  std::string whole = paced_.last_byte() == '\n' ? "" : "\n";
  return whole + "frame-sink: " + std::string(text) + "\n" + std::string(then);
}

void Reporter::write(std::string_view text) {
  if (!write_all(paced_, line(text)).ok()) ++unwritten_;
}

std::string counted(std::uint64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace fc::receiver
