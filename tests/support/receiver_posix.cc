#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <thread>

#include "support/receiver.h"

namespace fc::testing {
namespace {

int bind_loopback(std::uint16_t port, std::string* why) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (why) *why = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (why) {
      *why = "cannot bind 127.0.0.1:" + std::to_string(port) + " (" + std::strerror(errno) +
             "): another program holds the port; stop it and run the test again";
    }
    close(fd);
    return -1;
  }
  return fd;
}

class PosixReceiver final : public Receiver {
 public:
  PosixReceiver(int listener, PeerBehaviour behaviour) : listener_(listener) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, behaviour] { serve(behaviour); });
  }

  ~PosixReceiver() override {
    stop_ = true;
    thread_.join();
    close(listener_);
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
  // Waits for a connection while checking for shutdown every 50 ms.
  int accept_one() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) return fd;
      }
    }
    return -1;
  }

  void serve(PeerBehaviour behaviour) {
    int fd = accept_one();
    if (fd >= 0) {
      accepted_ = true;
      if (behaviour == PeerBehaviour::kResetAtOnce) {
        linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      } else {
        read_to_end(fd);
      }
      close(fd);
    }
    promise_.set_value();
  }

  void read_to_end(int fd) {
    char buffer[4096];
    while (!stop_) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        bytes_.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0) {
        clean_end_ = true;
        return;
      } else if (errno != EINTR) {
        return;
      }
    }
  }

  int listener_;
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
  int fd = bind_loopback(port, why);
  if (fd < 0) return nullptr;
  if (::listen(fd, 4) != 0) {
    if (why) *why = std::string("listen: ") + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixReceiver>(fd, behaviour);
}

bool port_is_free(std::uint16_t port) {
  int fd = bind_loopback(port, nullptr);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace fc::testing
