#include "support/receiver.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "net/poller_testing.h"
#include "net/socket_ops.h"

namespace fc::testing {
namespace {

// How often the serving thread looks for a stop request.
constexpr int kPollMilliseconds = 50;

// A listener closed a moment ago may still hold its port for a short while
// (under wine the close goes through the wine server), so a fixed port is
// tried again for up to two seconds before it counts as taken.
NativeSocket listen_loopback(std::uint16_t port, std::string* why) {
  const Ipv4Address address{{127, 0, 0, 1}, port};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  Result<NativeSocket> listener = listen_on(address, 4);
  while (!listener && port != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    listener = listen_on(address, 4);
  }
  if (listener) return *listener;
  if (why) {
    *why = "cannot listen on 127.0.0.1:" + std::to_string(port) + " (" +
           display_text(listener.error()) +
           "): another program holds the port; stop it and run the test again";
  }
  return kNoSocket;
}

class ThreadReceiver final : public Receiver {
 public:
  ThreadReceiver(NativeSocket listener, PeerBehaviour behaviour)
      : listener_(listener), port_(local_port(listener).value_or(0)) {
    thread_ = std::thread([this, behaviour] { serve(behaviour); });
  }

  ~ThreadReceiver() override {
    stop_ = true;
    thread_.join();
    close_socket(listener_);
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
  NativeSocket accept_one() {
    while (!stop_) {
      if (!readable_within(listener_, kPollMilliseconds)) continue;
      Result<NativeSocket> socket = accept_connection(listener_);
      if (socket) return *socket;
    }
    return kNoSocket;
  }

  void serve(PeerBehaviour behaviour) {
    NativeSocket socket = accept_one();
    if (socket != kNoSocket) {
      accepted_ = true;
      if (behaviour == PeerBehaviour::kResetAtOnce) {
        (void)reset_on_close(socket);
      } else {
        read_to_end(socket);
      }
      close_socket(socket);
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

  NativeSocket listener_;
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
  NativeSocket listener = listen_loopback(port, why);
  if (listener == kNoSocket) return nullptr;
  return std::make_unique<ThreadReceiver>(listener, behaviour);
}

bool port_is_free(std::uint16_t port) {
  NativeSocket listener = listen_loopback(port, nullptr);
  if (listener == kNoSocket) return false;
  close_socket(listener);
  return true;
}

}  // namespace fc::testing
