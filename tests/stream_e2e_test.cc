// The TCP client stream against a real receiver on the loopback interface.

#include <gtest/gtest.h>

#include <chrono>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "net/tcp_client_stream.h"
#include "support/receiver.h"

namespace fc::testing {
namespace {

std::string endpoint_of(const Receiver& receiver) {
  return "127.0.0.1:" + std::to_string(receiver.port());
}

TEST(StreamEndToEnd, EveryByteArrivesInOrderAndCloseEndsTheStream) {
  std::string why;
  auto receiver = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
  ASSERT_TRUE(receiver) << why;
  std::string payload(8 << 20, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + i / 251);
  {
    auto stream = connect_endpoint(endpoint_of(*receiver));
    ASSERT_TRUE(stream.has_value());
    EXPECT_TRUE(send_all(*stream, std::span<const std::uint8_t>()).ok())
        << "an empty buffer needs no send";
    EXPECT_TRUE(send_all(*stream, payload).ok());
    TcpClientStream moved = std::move(*stream);  // the moved-from stream must not close it
  }
  std::string received;
  bool clean_end = false;
  ASSERT_TRUE(receiver->wait(&received, &clean_end));
  EXPECT_TRUE(clean_end);
  EXPECT_TRUE(received == payload) << "received " << received.size() << " bytes";
}

TEST(StreamEndToEnd, ResetPeerFailsTheSendWithoutASignal) {
  std::string why;
  auto receiver = Receiver::listen(0, PeerBehaviour::kResetAtOnce, &why);
  ASSERT_TRUE(receiver) << why;
  auto stream = connect_endpoint(endpoint_of(*receiver));
  ASSERT_TRUE(stream.has_value());
  std::string received;
  bool clean_end = false;
  ASSERT_TRUE(receiver->wait(&received, &clean_end));
  // Writes into a reset connection fail soon; SIGPIPE would kill this test.
  std::string chunk(64 << 10, 'x');
  Status status;
  for (int i = 0; i < 100 && status.ok(); ++i) {
    status = send_all(*stream, chunk);
    if (status.ok()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_FALSE(status.ok());
  ASSERT_TRUE(status.error().os_code().has_value());
  ErrorKind kind = status.error().kind();
  EXPECT_TRUE(kind == ErrorKind::ConnectionReset || kind == ErrorKind::BrokenPipe)
      << debug_name(kind);
}

TEST(StreamEndToEnd, RefusedConnectionIsAnOsError) {
  std::string why;
  std::uint16_t port;
  {
    auto receiver = Receiver::listen(0, PeerBehaviour::kReadToEnd, &why);
    ASSERT_TRUE(receiver) << why;
    port = receiver->port();
  }  // closed again: nothing listens on the port now
  auto stream = connect_endpoint("127.0.0.1:" + std::to_string(port));
  ASSERT_FALSE(stream.has_value());
  EXPECT_EQ(stream.error().kind(), ErrorKind::ConnectionRefused);
}

}  // namespace
}  // namespace fc::testing
