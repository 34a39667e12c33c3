#include "support/receiver.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "json/wire.h"
#include "net/poller_testing.h"
#include "net/serving_ops.h"

namespace fc::testing {
namespace {

// How often the serving thread looks for a stop request.
constexpr int kPollMilliseconds = 50;

// A listener closed a moment ago may still hold its port for a short while
// (under wine the close goes through the wine server), so a fixed port is
// tried again for up to two seconds before it counts as taken.
Socket listen_loopback(std::uint16_t port, std::string* why) {
  const Ipv4Address address{kEndpointAddress, port};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  Result<Socket> listener = open_listener(address);
  while (!listener && port != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    listener = open_listener(address);
  }
  if (listener) return std::move(*listener);
  if (why) {
    *why = "cannot listen on 127.0.0.1:" + std::to_string(port) + " (" +
           display_text(listener.error()) +
           "): another program holds the port; stop it and run the test again";
  }
  return Socket();
}

class ThreadReceiver final : public Receiver {
 public:
  ThreadReceiver(Socket listener, PeerBehaviour behaviour)
      : listener_(std::move(listener)), port_(local_port(listener_.native()).value_or(0)) {
    thread_ = std::thread([this, behaviour] { serve(behaviour); });
  }

  ~ThreadReceiver() override {
    stop_ = true;
    thread_.join();
  }

  std::uint16_t port() const override { return port_; }
  bool accepted() const override { return accepted_; }

  bool wait(std::string* bytes, bool* clean_end, int timeout_seconds) override {
    if (done_.wait_for(std::chrono::seconds(timeout_seconds)) != std::future_status::ready) {
      return false;
    }
    *bytes = bytes_;
    *clean_end = clean_end_;
    return true;
  }

 private:
  Socket accept_one() {
    while (!stop_) {
      if (!readable_within(listener_.native(), kPollMilliseconds)) continue;
      Result<Socket> socket = accept_connection(listener_.native());
      if (socket) return std::move(*socket);
    }
    return Socket();
  }

  void serve(PeerBehaviour behaviour) {
    Socket socket = accept_one();
    if (socket.valid()) {
      accepted_ = true;
      if (behaviour == PeerBehaviour::kResetAtOnce) {
        (void)reset_on_close(socket.native());
      } else {
        read_to_end(socket.native());
      }
    }
    promise_.set_value();
  }

  void read_to_end(NativeSocket socket) {
    std::uint8_t buffer[4096];
    while (!stop_) {
      if (!readable_within(socket, kPollMilliseconds)) continue;
      Result<std::size_t> n = receive_some(socket, buffer);
      if (n && *n > 0) {
        bytes_.append(reinterpret_cast<const char*>(buffer), *n);
      } else if (n) {
        clean_end_ = true;
        return;
      } else if (!n.error().is_interrupted() && n.error().kind() != ErrorKind::WouldBlock) {
        return;
      }
    }
  }

  Socket listener_;
  std::uint16_t port_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> accepted_{false};
  std::string bytes_;
  bool clean_end_ = false;
  std::promise<void> promise_;
  std::future<void> done_ = promise_.get_future();
  std::thread thread_;
};

}  // namespace

std::unique_ptr<Receiver> Receiver::listen(std::uint16_t port, PeerBehaviour behaviour,
                                           std::string* why) {
  Socket listener = listen_loopback(port, why);
  if (!listener.valid()) return nullptr;
  return std::make_unique<ThreadReceiver>(std::move(listener), behaviour);
}

bool port_is_free(std::uint16_t port) { return listen_loopback(port, nullptr).valid(); }

}  // namespace fc::testing
