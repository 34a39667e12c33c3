#include "support/sink_process.h"

#include <chrono>
#include <mutex>

namespace fc::testing {

// What standard error said so far, and the port once its listening line is
// whole.
struct SinkProcess::Listening {
  std::mutex mutex;
  std::string text;
  std::promise<std::uint16_t> port;
  std::string line;
  bool told = false;

  void heard(std::string_view piece) {
    std::lock_guard<std::mutex> lock(mutex);
    if (told) return;
    text.append(piece);
    std::size_t end = text.find('\n');
    if (end == std::string::npos) return;
    told = true;
    const std::string kSaid = "listening on ";
    std::size_t at = text.find(kSaid);
    std::uint16_t number = 0;
    if (at < end) {
      line = text.substr(at, end - at);
      // "listening on 127.0.0.1:PORT", or "[::]:PORT (IPv4 too)".
      std::string address = line.substr(kSaid.size(), line.find(' ', kSaid.size()) - kSaid.size());
      number = static_cast<std::uint16_t>(std::stoul(address.substr(address.rfind(':') + 1)));
    }
    port.set_value(number);
  }
  // The program ended: if it never said it listens, it never will.
  void ended() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!told) port.set_value(0);
    told = true;
  }
};

SinkProcess::SinkProcess(ChildOptions options) : listening_(std::make_shared<Listening>()) {
  std::future<std::uint16_t> port = listening_->port.get_future();
  options.on_err = [listening = listening_](std::string_view piece) { listening->heard(piece); };
  run_ = std::async(std::launch::async, [options, listening = listening_] {
    ChildResult result = run_child(FC_SINK_PATH, options);
    listening->ended();
    return result;
  });
  if (port.wait_for(std::chrono::seconds(20)) == std::future_status::ready) {
    port_ = port.get();
    std::lock_guard<std::mutex> lock(listening_->mutex);
    listening_text_ = listening_->line;
  }
}

SinkProcess::~SinkProcess() {
  if (run_.valid()) (void)run_.get();
}

ChildResult SinkProcess::finish() { return run_.get(); }

}  // namespace fc::testing
