#include "console/panic.h"

#include <gtest/gtest.h>

#include <source_location>
#include <string>

namespace fc {
namespace {

TEST(Panic, DiagnosticShape) {
  std::source_location here = std::source_location::current();
  std::string text = panic_text("failed printing to stdout: Broken pipe (os error 32)", here);
  std::string location = std::string(here.file_name()) + ":" + std::to_string(here.line()) + ":" +
                         std::to_string(here.column());
  std::string head = "thread 'main' panicked at " + location +
                     ":\nfailed printing to stdout: Broken pipe (os error 32)\n";
  ASSERT_TRUE(text.starts_with(head)) << text;
  std::string note = text.substr(head.size());
  EXPECT_TRUE(note.starts_with("note: ")) << note;
  EXPECT_EQ(note.find('\n'), note.size() - 1) << "exactly one note line";
}

TEST(Panic, LocationIsRelativeToTheProjectRoot) {
  // The build maps the source directory away; a build machine's path must
  // never reach a diagnostic.
  std::string file = std::source_location::current().file_name();
  EXPECT_EQ(file, "src/console/panic_test.cc");
}

TEST(Panic, UnwindsAfterWritingToStandardError) {
  ::testing::internal::CaptureStderr();
  int line = 0;
  bool unwound = false;
  try {
    line = __LINE__ + 1;
    panic("boom");
  } catch (const PanicUnwind&) {
    unwound = true;
  }
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(err.starts_with(
      "thread 'main' panicked at src/console/panic_test.cc:" + std::to_string(line) + ":"))
      << err;
  EXPECT_NE(err.find(":\nboom\nnote: "), std::string::npos) << err;
}

TEST(Panic, AssertEqualShowsBothValues) {
  EXPECT_EQ(not_equal_message(10091, 0),
            "assertion `left == right` failed\n  left: 10091\n right: 0");
  EXPECT_EQ(not_equal_message(-1, 0), "assertion `left == right` failed\n  left: -1\n right: 0");

  EXPECT_NO_THROW(assert_equal(0, 0));
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(assert_equal(10091, 0), PanicUnwind);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(err.starts_with("thread 'main' panicked at src/console/panic_test.cc:")) << err;
  EXPECT_NE(err.find(":\nassertion `left == right` failed\n  left: 10091\n right: 0\nnote: "),
            std::string::npos)
      << err;
}

}  // namespace
}  // namespace fc
