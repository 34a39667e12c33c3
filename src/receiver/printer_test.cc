#include "receiver/printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "receiver/fake_peer_testing.h"

namespace fc::receiver {
namespace {

using namespace std::string_literals;

// Each format's text for a payload, at 2026-12-10T04:05:06.123456Z, from
// connection 2 at [::1]:50312.
TEST(Printer, EachFormatsRecords) {
  struct Row {
    Format format;
    std::string payload;
    std::string printed;
  };
  const std::string head =
      R"({"conn":2,"peer":"[::1]:50312","time":"2026-12-10T04:05:06.123456Z","event":)";
  const std::string kOneByte = "00000000  41                                                |A|\n";
  const std::string kSixteen =
      "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\n";
  const std::string kSeventeenth =
      "00000010  0a                                                |.|\n";
  const Row rows[] = {
      {Format::kPlain, "a\tb", "a\\tb\n"},
      {Format::kJson, R"({"id":"3","message":"split"})",
       head + R"("frame","length":28,"json":{"id":"3","message":"split"}})" + "\n"},
      {Format::kJson, "[ 1,\n 2 ]",
       head + R"("frame","length":9,"json":[1,2],"text":"[ 1,\n 2 ]"})" + "\n"},
      {Format::kJson, "say \"hi\"\x01\x7f\xc3\xa9",
       head + R"("frame","length":12,"text":"say \"hi\"\u0001\u007f)" + "\xc3\xa9\"}\n"},
      {Format::kJson, "\xff\x00\x01"s, head + R"("frame","length":3,"base64":"/wAB"})" + "\n"},
      {Format::kJson, "", head + R"("frame","length":0,"text":""})" + "\n"},
      {Format::kHex, "", "connection 2 ([::1]:50312), 0 bytes:\n00000000\n"},
      {Format::kHex, "A", "connection 2 ([::1]:50312), 1 byte:\n" + kOneByte + "00000001\n"},
      {Format::kHex, "0123456789abcdef",
       "connection 2 ([::1]:50312), 16 bytes:\n" + kSixteen + "00000010\n"},
      {Format::kHex, "0123456789abcdef\n",
       "connection 2 ([::1]:50312), 17 bytes:\n" + kSixteen + kSeventeenth + "00000011\n"},
  };
  const PeerName peer{2, "[::1]:50312"};
  const auto time =
      std::chrono::system_clock::time_point(std::chrono::microseconds(1796875506123456));
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.payload));
    CapturedOutput captured;
    LineOutput output(captured);
    Printer printer(row.format, output);
    printer.set_time(time);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.payload.data());
    EXPECT_TRUE(printer.frame(peer, {bytes, row.payload.size()}).ok());
    EXPECT_TRUE(output.flush().ok());
    EXPECT_EQ(captured.text, row.printed);
  }
}

// A connection's events are records in JSON alone; a limit of frames fills.
TEST(Printer, EventsAndTheLimitOfFrames) {
  const PeerName peer{1, "127.0.0.1:9"};
  std::string records;
  for (const char* rest :
       {R"("open"})", R"("frame","length":0,"text":""})", R"("fault","message":"idle\n"})",
        R"("frame","length":0,"text":""})", R"("end"})"}) {
    records.append(R"({"conn":1,"peer":"127.0.0.1:9","time":"1970-01-01T00:00:00.000000Z",)")
        .append(R"("event":)")
        .append(rest)
        .append("\n");
  }
  for (Format format : {Format::kPlain, Format::kJson}) {
    CapturedOutput captured;
    LineOutput output(captured);
    Printer printer(format, output, 2);
    EXPECT_TRUE(printer.opened(peer).ok());
    EXPECT_TRUE(printer.frame(peer, {}).ok());
    EXPECT_FALSE(printer.full());
    EXPECT_TRUE(printer.fault(peer, "idle\n").ok());
    EXPECT_TRUE(printer.frame(peer, {}).ok());
    EXPECT_TRUE(printer.full());
    EXPECT_TRUE(printer.ended(peer).ok());
    EXPECT_TRUE(output.flush().ok());
    EXPECT_EQ(captured.text, format == Format::kPlain ? "\n\n" : records);
    EXPECT_EQ(printer.frames(), 2u);
  }
}

}  // namespace
}  // namespace fc::receiver
