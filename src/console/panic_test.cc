#include "console/panic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <source_location>
#include <string>
#include <string_view>

namespace fc {
namespace {

// What panic() writes to standard error for a call at `where`.
std::string panic_output(std::string_view message, const std::source_location& where) {
  ::testing::internal::CaptureStderr();
  try {
    panic(message, where);
  } catch (const PanicUnwind&) {
    return ::testing::internal::GetCapturedStderr();
  }
  ADD_FAILURE() << "panic() did not unwind";
  return ::testing::internal::GetCapturedStderr();
}

TEST(Panic, DiagnosticShape) {
  std::source_location here = std::source_location::current();
  std::string text = panic_output("failed printing to stdout: Broken pipe (os error 32)", here);
  std::string head =
      "thread 'main' panicked at src/console/panic_test.cc:" + std::to_string(here.line()) + ":" +
      std::to_string(here.column()) + ":\nfailed printing to stdout: Broken pipe (os error 32)\n";
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

TEST(Panic, AssertEqualShowsBothValues) {
  EXPECT_NO_THROW(assert_equal(0, 0));
  for (std::int64_t left : {std::int64_t{10091}, std::int64_t{-1}}) {
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(assert_equal(left, 0), PanicUnwind);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(err.starts_with("thread 'main' panicked at src/console/panic_test.cc:")) << err;
    std::string message =
        "assertion `left == right` failed\n  left: " + std::to_string(left) + "\n right: 0";
    EXPECT_NE(err.find(":\n" + message + "\nnote: "), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace fc
