#include "json/json_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "debug_text/text_sink.h"
#include "error/os_error.h"

namespace fc {
namespace {

template <typename Error>
std::string debug_text(const Error& error) {
  StringSink sink;
  error.write_debug(sink);
  return sink.take();
}

template <typename Error>
std::string display_text(const Error& error) {
  StringSink sink;
  error.write_display(sink);
  return sink.take();
}

TEST(JsonError, TextForms) {
  struct Case {
    JsonError error;
    std::string debug;
    std::string display;
  };
  const std::string enospc = os_error_message(ENOSPC);
  Case cases[] = {
      {JsonError::from_message("key must be a string", 0, 0),
       "Error(\"key must be a string\", line: 0, column: 0)", "key must be a string"},
      {JsonError::from_message("key must be a string", 3, 7),
       "Error(\"key must be a string\", line: 3, column: 7)",
       "key must be a string at line 3 column 7"},
      // A column without a line is no position.
      {JsonError::from_message("m", 0, 9), "Error(\"m\", line: 0, column: 9)", "m"},
      {JsonError::from_message("big", 18446744073709551615u, 18446744073709551615u),
       "Error(\"big\", line: 18446744073709551615, column: 18446744073709551615)",
       "big at line 18446744073709551615 column 18446744073709551615"},
      {JsonError::from_message("say \"hi\"\r\n", 1, 2),
       "Error(\"say \\\"hi\\\"\\r\\n\", line: 1, column: 2)", "say \"hi\"\r\n at line 1 column 2"},
      {JsonError::from_message("", 0, 0), "Error(\"\", line: 0, column: 0)", ""},
      // An output failure: the message is the carried error's display form,
      // built in full and then quoted.
      {JsonError::from_io(IoError::from_fixed(kWriteZero)),
       "Error(\"failed to write whole buffer\", line: 0, column: 0)",
       "failed to write whole buffer"},
      {JsonError::from_io(IoError::from_os_code(ENOSPC)),
       "Error(\"" + enospc + " (os error " + std::to_string(ENOSPC) + ")\", line: 0, column: 0)",
       enospc + " (os error " + std::to_string(ENOSPC) + ")"},
      {JsonError::from_io(IoError::from_kind(ErrorKind::NotFound)),
       "Error(\"entity not found\", line: 0, column: 0)", "entity not found"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(debug_text(c.error), c.debug);
    EXPECT_EQ(display_text(c.error), c.display);
  }
}

TEST(JsonError, OutputFailureConvertsToTheCarriedErrorItself) {
  IoError os = std::move(JsonError::from_io(IoError::from_os_code(ENOSPC))).to_io_error();
  EXPECT_EQ(os.os_code(), ENOSPC);
  EXPECT_TRUE(debug_text(os).starts_with("Os { code: ")) << debug_text(os);

  IoError fixed = std::move(JsonError::from_io(IoError::from_fixed(kWriteZero))).to_io_error();
  EXPECT_EQ(fixed.fixed(), &kWriteZero);

  IoError kind =
      std::move(JsonError::from_io(IoError::from_kind(ErrorKind::Interrupted))).to_io_error();
  EXPECT_EQ(debug_text(kind), "Kind(Interrupted)");
}

TEST(JsonError, MessageConvertsToACustomInvalidDataError) {
  struct Case {
    std::uint64_t line, column;
    std::string debug;
    std::string display;
  };
  const Case cases[] = {
      {0, 0, "Custom { kind: InvalidData, error: Error(\"bad map\", line: 0, column: 0) }",
       "bad map"},
      {3, 7, "Custom { kind: InvalidData, error: Error(\"bad map\", line: 3, column: 7) }",
       "bad map at line 3 column 7"},
  };
  for (const Case& c : cases) {
    IoError error = std::move(JsonError::from_message("bad map", c.line, c.column)).to_io_error();
    EXPECT_EQ(error.kind(), ErrorKind::InvalidData);
    ASSERT_NE(error.custom_record(), nullptr);
    EXPECT_EQ(debug_text(error), c.debug);
    EXPECT_EQ(display_text(error), c.display);
    EXPECT_FALSE(error.is_interrupted());
  }
}

TEST(JsonError, IsOneOwningWordAndMovesItsRecord) {
  static_assert(sizeof(JsonError) == sizeof(void*));
  static_assert(!std::is_copy_constructible_v<JsonError>);
  JsonError first = JsonError::from_message("m", 1, 1);
  JsonError second = std::move(first);
  EXPECT_EQ(display_text(second), "m at line 1 column 1");
  EXPECT_EQ(second.io_error(), nullptr);
  JsonError carried = JsonError::from_io(IoError::from_os_code(ENOSPC));
  ASSERT_NE(carried.io_error(), nullptr);
  EXPECT_EQ(carried.io_error()->os_code(), ENOSPC);
}

}  // namespace
}  // namespace fc
