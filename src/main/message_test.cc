#include "main/message.h"

#include <gtest/gtest.h>

#include "debug_text/failing_sink_testing.h"

namespace fc {
namespace {

TEST(Message, JsonMembersFollowTheFieldOrder) {
  auto text = to_json_text(Message{"3", "split"});
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->view(), R"({"id":"3","message":"split"})");
}

TEST(Message, DebugFormOfTheFixedRecord) {
  StringSink sink;
  write_debug(Message{"3", "split"}, sink);
  EXPECT_EQ(sink.text(), R"(Message { id: "3", message: "split" })");
  EXPECT_EQ(sink.text().size(), 37u);
}

TEST(Message, DebugFormQuotesAndEscapesValues) {
  StringSink sink;
  write_debug(Message{"", "a\"b\\c\n"}, sink);
  EXPECT_EQ(sink.text(), R"(Message { id: "", message: "a\"b\\c\n" })");
}

TEST(Message, DebugFormStopsAtTheFirstRefusedPiece) {
  StringSink whole;
  write_debug(Message{"3", "split"}, whole);
  for (int fail_at = 1;; ++fail_at) {
    FailingSink sink(fail_at);
    write_debug(Message{"3", "split"}, sink);
    if (!sink.refused()) {
      EXPECT_EQ(sink.text, whole.text());
      break;
    }
    EXPECT_EQ(sink.calls, fail_at) << "nothing may be written after the failure";
    EXPECT_EQ(whole.text().substr(0, sink.text.size()), sink.text);
  }
}

}  // namespace
}  // namespace fc
