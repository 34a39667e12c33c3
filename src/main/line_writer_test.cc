#include "main/line_writer.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "console/fake_console_testing.h"

namespace fc {
namespace {

// Records every write; can be told to take fewer bytes or to fail.
class FakeDevice final : public OutputDevice {
 public:
  Result<std::size_t> write_some(std::string_view bytes) override {
    std::size_t take = bytes.size();
    if (!limits.empty()) {
      take = std::min(take, limits.front());
      limits.pop_front();
    }
    if (fail) return std::unexpected(IoError::from_os_code(28));
    writes.emplace_back(bytes.substr(0, take));
    return take;
  }
  std::string all() const {
    std::string text;
    for (const auto& w : writes) text += w;
    return text;
  }

  std::vector<std::string> writes;
  std::deque<std::size_t> limits;
  bool fail = false;
};

TEST(LineWriter, EachLineReachesTheDeviceInOneWrite) {
  FakeDevice device;
  LineWriter writer(device);
  writer.write("Connected to server\n");
  for (std::string_view piece : {"Sent JSON: ", "Message", " { ", "id", ": ", "\"3\"", " }"}) {
    writer.write(piece);
  }
  EXPECT_EQ(device.writes.size(), 1u) << "nothing before the line feed";
  writer.write("\n");
  ASSERT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(device.writes[0], "Connected to server\n");
  EXPECT_EQ(device.writes[1], "Sent JSON: Message { id: \"3\" }\n");
}

// Text waiting before a line goes out with it while both fit the 1024-byte
// buffer: at its size, and one byte past it. Text without a line end waits
// unless it is as long as the buffer.
TEST(LineWriter, TheBufferSizeIsTheBound) {
  for (std::size_t total : {1024u, 1025u}) {
    FakeDevice device;
    LineWriter writer(device);
    writer.write("ab");
    writer.write(std::string(total - 3, 'x') + "\n");
    EXPECT_EQ(device.writes.size(), total <= 1024 ? 1u : 2u) << total;
    EXPECT_EQ(device.all().size(), total);
  }
  for (std::size_t length : {1023u, 1024u}) {
    FakeDevice device;
    LineWriter writer(device);
    writer.write(std::string(length, 'x'));
    EXPECT_EQ(device.all().size(), length < 1024 ? 0u : length) << length;
  }
}

TEST(LineWriter, TextAfterTheLastLineFeedWaitsForFlush) {
  FakeDevice device;
  LineWriter writer(device);
  writer.write("a\nb\nc");
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0], "a\nb\n");
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(device.all(), "a\nb\nc");
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(device.writes.size(), 2u) << "an empty flush writes nothing";
}

TEST(LineWriter, LongTextKeepsItsOrder) {
  struct Case {
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {{std::string(1000, 'a'), std::string(100, 'b') + "\n"}},
      {{std::string(2000, 'a') + "\n"}},
      {{std::string(1023, 'a'), "b", "c\n", "d"}},
      {{"x", std::string(3000, 'y'), "\nz", std::string(1024, 'w')}},
  };
  for (const Case& c : cases) {
    FakeDevice device;
    LineWriter writer(device);
    std::string expected;
    for (const std::string& piece : c.pieces) {
      writer.write(piece);
      expected += piece;
    }
    ASSERT_TRUE(writer.flush().ok());
    EXPECT_EQ(device.all(), expected);
  }
}

TEST(LineWriter, ShortWritesAreContinued) {
  FakeDevice device;
  device.limits = {3, 5, 1};
  LineWriter writer(device);
  writer.write("Connected to server\n");
  EXPECT_EQ(device.all(), "Connected to server\n");
}

TEST(LineWriter, DeviceTakingNothingIsWriteZero) {
  FakeDevice device;
  device.limits = {0};
  LineWriter writer(device);
  writer.write("line\n");
  const Status& status = writer.status();
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().kind(), ErrorKind::WriteZero);
  ASSERT_NE(status.error().fixed(), nullptr);
  EXPECT_EQ(status.error().fixed()->message, "failed to write the buffered data");
}

TEST(LineWriter, DeviceFailureIsReturned) {
  FakeDevice device;
  device.fail = true;
  LineWriter writer(device);
  writer.write("line\n");
  device.fail = false;
  writer.write("more\n");
  EXPECT_TRUE(device.writes.empty()) << "nothing after the first failure";
  const Status& status = writer.status();
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().os_code(), 28) << "the first failure is kept";
}

// A console that stops after "ab" and the first half of U+1F600: the failing
// flush reports the stop, and the flush at exit never shows those again.
TEST(LineWriter, TextOnAConsoleIsShownOnce) {
  struct Case {
    const char* name;
    std::size_t per_call, fail_at, stall_at;
    std::string error;
    std::u16string shown;
  };
  const std::string flush_zero =
      "Error { kind: WriteZero, message: \"failed to write the buffered data\" }";
  const Case cases[] = {
      {"fails after half a character", 3, 1, SIZE_MAX, "Os { code: 5", u"ab\xd83d\n"},
      {"stalls after half a character", 3, SIZE_MAX, 1, flush_zero, u"ab\xd83d\n"},
      {"takes nothing at first", SIZE_MAX, SIZE_MAX, 0, flush_zero, u"ab\xd83d\xde00\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeConsoleDevice device;
    device.console.per_call = c.per_call;
    device.console.fail_at = c.fail_at;
    device.console.stall_at = c.stall_at;
    LineWriter writer(device);
    writer.write("ab\xf0\x9f\x98\x80\n");
    const Status& status = writer.status();
    ASSERT_FALSE(status.ok());
    StringSink error;
    status.error().write_debug(error);
    EXPECT_TRUE(error.text().starts_with(c.error)) << error.text();
    EXPECT_TRUE(writer.flush().ok());
    EXPECT_EQ(device.console.shown, c.shown);
  }
}

TEST(WriteAll, ZeroBytesTakenIsWriteZero) {
  FakeDevice device;
  device.limits = {2, 0};
  Status status = write_all(device, "hello");
  ASSERT_FALSE(status.ok());
  ASSERT_NE(status.error().fixed(), nullptr);
  EXPECT_EQ(status.error().fixed()->message, "failed to write whole buffer");
  EXPECT_EQ(device.all(), "he");
}

}  // namespace
}  // namespace fc
