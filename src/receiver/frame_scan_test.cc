#include "receiver/frame_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "receiver/fake_peer_testing.h"

namespace fc::receiver {
namespace {

// Where each whole frame's payload lies, where the next frame begins, and
// what is left, with the limit at 6 bytes of payload.
TEST(FrameScan, WholeFramesThenWhatIsLeft) {
  using namespace std::string_literals;
  struct Row {
    std::string bytes;
    std::vector<std::string> payloads;
    std::size_t end;
    Rest rest;
    std::uint32_t rest_length;
  };
  const Row rows[] = {
      {"", {}, 0, Rest::kNothing, 0},
      {framed(""), {""}, 4, Rest::kNothing, 0},
      {framed("ab") + framed("cdefgh"), {"ab", "cdefgh"}, 16, Rest::kNothing, 0},
      {framed("ab") + "\0\0"s, {"ab"}, 6, Rest::kCutPrefix, 0},
      {framed("ab") + "\0\0\0"s, {"ab"}, 6, Rest::kCutPrefix, 0},
      {framed("ab") + framed("cdef").substr(0, 7), {"ab"}, 6, Rest::kCutFrame, 4},
      {framed("abcdef").substr(0, 4), {}, 0, Rest::kCutFrame, 6},
      {framed("abcdefg"), {}, 0, Rest::kRefused, 7},
      {framed("a") + "\0\0\0\7"s, {"a"}, 5, Rest::kRefused, 7},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    const auto* data = reinterpret_cast<const std::uint8_t*>(row.bytes.data());
    FrameScan scan({data, row.bytes.size()}, 6);
    std::vector<std::string> payloads;
    while (auto payload = scan.next()) {
      payloads.emplace_back(reinterpret_cast<const char*>(payload->data()), payload->size());
    }
    EXPECT_EQ(payloads, row.payloads);
    EXPECT_EQ(scan.end(), row.end);
    EXPECT_EQ(scan.rest(), row.rest);
    if (row.rest == Rest::kCutFrame || row.rest == Rest::kRefused) {
      EXPECT_EQ(scan.rest_length(), row.rest_length);
    }
  }
}

}  // namespace
}  // namespace fc::receiver
