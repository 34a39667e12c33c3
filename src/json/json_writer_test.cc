#include "json/json_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "debug_text/failing_sink_testing.h"
#include "json/frame_prefix.h"

namespace fc {
namespace {

// An object with the client record's two members.
std::expected<JsonText, JsonError> encode_record(std::string_view id, std::string_view message) {
  const JsonMember members[] = {{"id", id}, {"message", message}};
  return encode_json_object(members);
}

std::string json_string(std::string_view text) {
  StringSink sink;
  write_json_string(text, sink);
  return sink.take();
}

TEST(JsonWriter, FixedRecordIsTheCompactObject) {
  auto text = encode_record("3", "split");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->view(), R"({"id":"3","message":"split"})");
  EXPECT_EQ(text->size(), 28u);
  // It fits the first buffer: one allocation, no growth.
  EXPECT_EQ(text->capacity(), 128u);
}

TEST(JsonWriter, EmptyTextsAreTwoQuotes) {
  auto text = encode_record("", "");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->view(), R"({"id":"","message":""})");
}

TEST(JsonWriter, EscapeTable) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"\"", R"("\"")"},
      {"\\", R"("\\")"},
      {"/", R"("/")"},
      {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {std::string("\0", 1), R"("\u0000")"},
      {"\x0b", R"("\u000b")"},
      {"\x1f", R"("\u001f")"},
      {"\x01\x07\x0e", R"("\u0001\u0007\u000e")"},
      {"\x7f", "\"\x7f\""},
      {"\xc3\xa9", "\"\xc3\xa9\""},
      {"\xff\x80", "\"\xff\x80\""},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"3", R"("3")"},
  };
  for (const Case& c : cases) EXPECT_EQ(json_string(c.input), c.expected) << c.expected;
}

TEST(JsonWriter, EveryByteBelowSpaceIsEscapedAndNothingElseIs) {
  for (int byte = 0; byte < 256; ++byte) {
    std::string out = json_string(std::string(1, static_cast<char>(byte)));
    bool escaped = out.size() > 3;
    bool must_escape = byte < 0x20 || byte == '"' || byte == '\\';
    EXPECT_EQ(escaped, must_escape) << "byte " << byte;
  }
}

TEST(JsonWriter, RunsAreWrittenInOnePiece) {
  FailingSink sink;
  write_json_string(std::string(500, 'x') + "\n" + std::string(500, 'y'), sink);
  // quote, run, escape, run, quote
  EXPECT_EQ(sink.calls, 5);
}

TEST(JsonWriter, BufferGrowthFollowsTheRule) {
  struct Case {
    std::size_t letters;
    std::size_t json_size;
    std::size_t capacity;
    FramePrefix prefix;
  };
  const Case cases[] = {
      {200, 223, 256, {0, 0, 0, 0xDF}},
      {1000, 1023, 2042, {0, 0, 0x03, 0xFF}},
  };
  for (const Case& c : cases) {
    auto text = encode_record("3", std::string(c.letters, 'a'));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->view(), R"({"id":"3","message":")" + std::string(c.letters, 'a') + "\"}");
    EXPECT_EQ(text->size(), c.json_size);
    EXPECT_EQ(text->capacity(), c.capacity);
    auto prefix = length_prefix(*text);
    ASSERT_TRUE(prefix.has_value());
    EXPECT_EQ(*prefix, c.prefix);
  }
}

TEST(JsonWriter, GrowthTakesTheNeededLengthWhenDoublingIsTooLittle) {
  JsonBuffer buffer;
  buffer.write(R"({"id":"3","message":")");
  EXPECT_EQ(buffer.capacity(), 128u);
  buffer.write(std::string(1000, 'a'));
  EXPECT_EQ(buffer.capacity(), 1021u);
  buffer.write("\"");
  EXPECT_EQ(buffer.capacity(), 2042u);
  EXPECT_EQ(buffer.size(), 1022u);
}

TEST(JsonWriter, OutputFailureStopsAtOnce) {
  const JsonMember members[] = {{"id", "3"}, {"message", "split"}};
  for (int fail_at = 1; fail_at <= 12; ++fail_at) {
    FailingSink sink(fail_at);
    write_json_object(members, sink);
    EXPECT_TRUE(sink.refused()) << fail_at;
    EXPECT_EQ(sink.calls, fail_at) << "nothing may be written after the failure";
  }
}

TEST(FramePrefix, BigEndianLengthAndTheLimitBothWays) {
  struct Case {
    std::uint64_t size;
    bool ok;
    FramePrefix prefix;
  };
  const Case cases[] = {
      {0, true, {0, 0, 0, 0}},
      {28, true, {0, 0, 0, 0x1C}},
      {0x01020304, true, {1, 2, 3, 4}},
      {0xFFFFFFFFu, true, {0xFF, 0xFF, 0xFF, 0xFF}},
      {0x100000000u, false, {}},
      // Would have been framed as 28 bytes.
      {0x10000001Cu, false, {}},
      {~std::uint64_t{0}, false, {}},
  };
  for (const Case& c : cases) {
    auto prefix = length_prefix_for_size(c.size);
    ASSERT_EQ(prefix.has_value(), c.ok) << c.size;
    if (c.ok) {
      EXPECT_EQ(*prefix, c.prefix) << c.size;
      EXPECT_EQ(payload_length(c.prefix), c.size) << "read back";
    } else {
      EXPECT_EQ(prefix.error().kind(), ErrorKind::InvalidInput);
    }
  }
}

}  // namespace
}  // namespace fc
