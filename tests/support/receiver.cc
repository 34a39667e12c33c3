#include "support/receiver.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "sink_platform.h"

namespace fc::testing {
namespace {

using sink::kNoSocket;
using sink::SocketHandle;

// How often the serving thread looks for a stop request.
constexpr int kPollMilliseconds = 50;

// A listener closed a moment ago may still hold its port for a short while
// (under wine the close goes through the wine server), so a fixed port is
// tried again for up to two seconds before it counts as taken.
SocketHandle listen_loopback(std::uint16_t port, std::string* why) {
  std::string reason;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  SocketHandle listener = sink::listen_loopback(port, 4, &reason);
  while (listener == kNoSocket && port != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    listener = sink::listen_loopback(port, 4, &reason);
  }
  if (listener == kNoSocket && why) {
    *why = "cannot listen on 127.0.0.1:" + std::to_string(port) + " (" + reason +
           "): another program holds the port; stop it and run the test again";
  }
  return listener;
}

class ThreadReceiver final : public Receiver {
 public:
  ThreadReceiver(SocketHandle listener, PeerBehaviour behaviour)
      : listener_(listener), port_(sink::local_port(listener)) {
    thread_ = std::thread([this, behaviour] { serve(behaviour); });
  }

  ~ThreadReceiver() override {
    stop_ = true;
    thread_.join();
    sink::close_socket(listener_);
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
  SocketHandle accept_one() {
    while (!stop_) {
      if (!sink::wait_readable(listener_, kPollMilliseconds)) continue;
      SocketHandle socket = sink::accept_connection(listener_);
      if (socket != kNoSocket) return socket;
    }
    return kNoSocket;
  }

  void serve(PeerBehaviour behaviour) {
    SocketHandle socket = accept_one();
    if (socket != kNoSocket) {
      accepted_ = true;
      if (behaviour == PeerBehaviour::kResetAtOnce) {
        sink::reset_on_close(socket);
      } else {
        read_to_end(socket);
      }
      sink::close_socket(socket);
    }
    promise_.set_value();
  }

  void read_to_end(SocketHandle socket) {
    std::uint8_t buffer[4096];
    while (!stop_) {
      if (!sink::wait_readable(socket, kPollMilliseconds)) continue;
      long n = sink::receive(socket, buffer, sizeof buffer);
      if (n > 0) {
        bytes_.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
      } else if (n == 0) {
        clean_end_ = true;
        return;
      } else if (!sink::last_call_interrupted()) {
        return;
      }
    }
  }

  SocketHandle listener_;
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
  SocketHandle listener = listen_loopback(port, why);
  if (listener == kNoSocket) return nullptr;
  return std::make_unique<ThreadReceiver>(listener, behaviour);
}

bool port_is_free(std::uint16_t port) {
  SocketHandle listener = listen_loopback(port, nullptr);
  if (listener == kNoSocket) return false;
  sink::close_socket(listener);
  return true;
}

}  // namespace fc::testing
