#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <future>
#include <thread>

#include "support/receiver.h"

namespace fc::testing {
namespace {

void start_winsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

SOCKET bind_loopback(std::uint16_t port, std::string* why) {
  start_winsock();
  SOCKET socket = WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET) {
    if (why) *why = "socket: error " + std::to_string(WSAGetLastError());
    return INVALID_SOCKET;
  }
  // Nobody else may share the port while the test holds it.
  BOOL yes = TRUE;
  setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
             sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (why) {
      *why = "cannot bind 127.0.0.1:" + std::to_string(port) + " (error " +
             std::to_string(WSAGetLastError()) +
             "): another program holds the port; stop it and run the test again";
    }
    closesocket(socket);
    return INVALID_SOCKET;
  }
  return socket;
}

// Waits up to 50 ms for `socket` to become readable.
bool readable(SOCKET socket) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait{0, 50 * 1000};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
}

class WinsockReceiver final : public Receiver {
 public:
  WinsockReceiver(SOCKET listener, PeerBehaviour behaviour) : listener_(listener) {
    sockaddr_in address{};
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, behaviour] { serve(behaviour); });
  }

  ~WinsockReceiver() override {
    stop_ = true;
    thread_.join();
    closesocket(listener_);
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
  SOCKET accept_one() {
    while (!stop_) {
      if (readable(listener_)) {
        SOCKET socket = accept(listener_, nullptr, nullptr);
        if (socket != INVALID_SOCKET) return socket;
      }
    }
    return INVALID_SOCKET;
  }

  void serve(PeerBehaviour behaviour) {
    SOCKET socket = accept_one();
    if (socket != INVALID_SOCKET) {
      accepted_ = true;
      if (behaviour == PeerBehaviour::kResetAtOnce) {
        linger reset{1, 0};
        setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
                   sizeof reset);
      } else {
        read_to_end(socket);
      }
      closesocket(socket);
    }
    promise_.set_value();
  }

  void read_to_end(SOCKET socket) {
    char buffer[4096];
    while (!stop_) {
      if (!readable(socket)) continue;
      int n = recv(socket, buffer, sizeof buffer, 0);
      if (n > 0) {
        bytes_.append(buffer, static_cast<std::size_t>(n));
      } else {
        clean_end_ = n == 0;
        return;
      }
    }
  }

  SOCKET listener_;
  std::uint16_t port_ = 0;
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
  SOCKET socket = bind_loopback(port, why);
  if (socket == INVALID_SOCKET) return nullptr;
  if (::listen(socket, 4) != 0) {
    if (why) *why = "listen: error " + std::to_string(WSAGetLastError());
    closesocket(socket);
    return nullptr;
  }
  return std::make_unique<WinsockReceiver>(socket, behaviour);
}

bool port_is_free(std::uint16_t port) {
  SOCKET socket = bind_loopback(port, nullptr);
  if (socket == INVALID_SOCKET) return false;
  closesocket(socket);
  return true;
}

}  // namespace fc::testing
