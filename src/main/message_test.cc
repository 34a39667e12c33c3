#include "main/message.h"

#include <gtest/gtest.h>

namespace fc {
namespace {

TEST(Message, DebugFormOfTheFixedRecord) {
  StringSink sink;
  ASSERT_TRUE(write_debug(Message{"3", "split"}, sink).ok());
  EXPECT_EQ(sink.text(), R"(Message { id: "3", message: "split" })");
  EXPECT_EQ(sink.text().size(), 37u);
}

TEST(Message, DebugFormQuotesAndEscapesValues) {
  StringSink sink;
  ASSERT_TRUE(write_debug(Message{"", "a\"b\\c\n"}, sink).ok());
  EXPECT_EQ(sink.text(), R"(Message { id: "", message: "a\"b\\c\n" })");
}

// Refuses the n-th piece and everything after it.
class FailingSink final : public TextSink {
 public:
  explicit FailingSink(int fail_at) : fail_at_(fail_at) {}
  Status write(std::string_view piece) override {
    ++calls;
    if (calls >= fail_at_) return IoError::from_os_code(28);
    text.append(piece);
    return {};
  }
  int calls = 0;
  std::string text;

 private:
  int fail_at_;
};

TEST(Message, DebugFormStopsAtTheFirstRefusedPiece) {
  StringSink whole;
  ASSERT_TRUE(write_debug(Message{"3", "split"}, whole).ok());
  for (int fail_at = 1;; ++fail_at) {
    FailingSink sink(fail_at);
    Status status = write_debug(Message{"3", "split"}, sink);
    if (status.ok()) {
      EXPECT_EQ(sink.text, whole.text());
      break;
    }
    EXPECT_EQ(status.error().os_code(), 28);
    EXPECT_EQ(sink.calls, fail_at) << "nothing may be written after the failure";
    EXPECT_EQ(whole.text().substr(0, sink.text.size()), sink.text);
  }
}

}  // namespace
}  // namespace fc
