#ifndef FC_TESTS_SUPPORT_SINK_PROCESS_H_
#define FC_TESTS_SUPPORT_SINK_PROCESS_H_

#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "support/child_process.h"

namespace fc::testing {

/// The built frame-sink, run in the background and known to listen from its
/// own "listening on" line, as a script would know it.
class SinkProcess {
 public:
  /// Starts it and waits, at most twenty seconds, until it says it listens.
  explicit SinkProcess(ChildOptions options);
  ~SinkProcess();

  /// The port it listens on; 0 if it never said.
  std::uint16_t port() const { return port_; }
  /// Its whole "listening on ..." line, without the program's name.
  const std::string& listening() const { return listening_text_; }
  /// Waits for its end.
  ChildResult finish();

 private:
  struct Listening;
  std::shared_ptr<Listening> listening_;
  std::future<ChildResult> run_;
  std::uint16_t port_ = 0;
  std::string listening_text_;
};

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_SINK_PROCESS_H_
