#include "error/io_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "debug_text/failing_sink_testing.h"
#include "error/os_error.h"

namespace fc {
namespace {

std::string debug_text(const IoError& error) {
  StringSink sink;
  error.write_debug(sink);
  return sink.take();
}

// An inner error that counts how often it is destroyed.
class CountedInner final : public InnerError {
 public:
  explicit CountedInner(int* destroyed) : destroyed_(destroyed) {}
  ~CountedInner() override { ++*destroyed_; }
  void write_debug(TextSink& sink) const override { sink.write("Inner { n: 1 }"); }
  void write_display(TextSink& sink) const override { sink.write("inner failed"); }

 private:
  int* destroyed_;
};

const FixedMessage kInterruptedRecord{"interrupted here", ErrorKind::Interrupted};

// The platform's code for a refused connection.
#ifdef _WIN32
constexpr std::int32_t kRefusedCode = 10061;  // WSAECONNREFUSED
#else
constexpr std::int32_t kRefusedCode = ECONNREFUSED;
#endif

TEST(IoError, TextFormsOfTheFourForms) {
  int destroyed = 0;
  struct Case {
    IoError error;
    std::string debug;
    std::string display;
  };
  Case cases[] = {
      {IoError::from_kind(ErrorKind::NotFound), "Kind(NotFound)", "entity not found"},
      {IoError::from_kind(ErrorKind::Uncategorized), "Kind(Uncategorized)", "uncategorized error"},
      {IoError::from_fixed(kWriteZero),
       "Error { kind: WriteZero, message: \"failed to write whole buffer\" }",
       "failed to write whole buffer"},
      {IoError::from_fixed(kInterruptedRecord),
       "Error { kind: Interrupted, message: \"interrupted here\" }", "interrupted here"},
      {IoError::custom(ErrorKind::Other, std::make_unique<CountedInner>(&destroyed)),
       "Custom { kind: Other, error: Inner { n: 1 } }", "inner failed"},
      {IoError::from_os_code(kRefusedCode),
       std::string("Os { code: ") + std::to_string(kRefusedCode) +
           ", kind: ConnectionRefused, message: \"" + os_error_message(kRefusedCode) + "\" }",
       os_error_message(kRefusedCode) + " (os error " + std::to_string(kRefusedCode) + ")"},
      {IoError::from_os_code(-2147024891),
       "Os { code: -2147024891, kind: Uncategorized, message: \"" + os_error_message(-2147024891) +
           "\" }",
       os_error_message(-2147024891) + " (os error -2147024891)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(debug_text(c.error), c.debug);
    EXPECT_EQ(display_text(c.error), c.display);
  }
}

TEST(IoError, FixedMessageRecords) {
  struct Case {
    const FixedMessage& record;
    std::string_view message;
    ErrorKind kind;
  };
  const Case cases[] = {
      {kWriteZero, "failed to write whole buffer", ErrorKind::WriteZero},
  };
  for (const Case& c : cases) {
    IoError error = IoError::from_fixed(c.record);
    EXPECT_EQ(c.record.message, c.message);
    EXPECT_EQ(error.kind(), c.kind);
    EXPECT_EQ(error.fixed(), &c.record) << "the error refers to the record, never copies it";
  }
}

// The word an error is made of, read from its bytes.
std::uint64_t word_of(const IoError& error) {
  std::uint64_t word = 0;
  std::memcpy(&word, reinterpret_cast<const unsigned char*>(&error), sizeof word);
  return word;
}

TEST(IoError, OneWordWithTheTagLayout) {
  static_assert(sizeof(IoError) == sizeof(std::uint64_t));
  static_assert(sizeof(Status) == sizeof(std::uint64_t));
  static_assert(!std::is_copy_constructible_v<IoError>);
  static_assert(std::is_nothrow_move_constructible_v<IoError>);

  IoError fixed = IoError::from_fixed(kWriteZero);
  EXPECT_EQ(word_of(fixed), reinterpret_cast<std::uintptr_t>(&kWriteZero));
  EXPECT_EQ(word_of(IoError::from_os_code(-1)), 0xFFFFFFFF00000002u);
  EXPECT_EQ(word_of(IoError::from_os_code(10061)), (std::uint64_t{10061} << 32) | 2);
  EXPECT_EQ(word_of(IoError::from_kind(ErrorKind::Uncategorized)), (std::uint64_t{41} << 32) | 3);
  EXPECT_EQ(word_of(IoError::from_kind(ErrorKind::NotFound)), 3u);
  int destroyed = 0;
  IoError custom = IoError::custom(ErrorKind::Other, std::make_unique<CountedInner>(&destroyed));
  EXPECT_EQ(word_of(custom) & 3, 1u);
  EXPECT_EQ(word_of(custom) - 1, reinterpret_cast<std::uintptr_t>(custom.custom_record()));

  EXPECT_EQ(IoError::from_os_code(-7).os_code(), -7);
  EXPECT_EQ(IoError::from_kind(ErrorKind::NotFound).os_code(), std::nullopt);
  EXPECT_EQ(word_of(Status().error()), 0u) << "success is the all-zero word";
  EXPECT_TRUE(Status().ok());
  EXPECT_FALSE(Status(IoError::from_kind(ErrorKind::NotFound)).ok());
}

TEST(IoError, KindOfEachForm) {
  EXPECT_EQ(IoError::from_kind(ErrorKind::TimedOut).kind(), ErrorKind::TimedOut);
  EXPECT_EQ(IoError::from_fixed(kWriteZero).kind(), ErrorKind::WriteZero);
  EXPECT_EQ(IoError::custom(ErrorKind::InvalidData, nullptr).kind(), ErrorKind::InvalidData);
  for (std::int32_t code : {0, 1, EPIPE, ENOSPC, EINTR, -1, 123456}) {
    EXPECT_EQ(IoError::from_os_code(code).kind(), kind_from_os_code(code)) << code;
  }
}

// Every value below the count is a kind with its names, from the first kind
// to the last.
TEST(ErrorKind, EveryValueBelowTheCountIsNamed) {
  std::set<std::string_view> names;
  for (int value = 0; value < kErrorKindCount; ++value) {
    auto kind = static_cast<ErrorKind>(value);
    EXPECT_FALSE(description(kind).empty()) << value;
    EXPECT_TRUE(names.insert(debug_name(kind)).second) << "named twice: " << debug_name(kind);
  }
  EXPECT_EQ(debug_name(static_cast<ErrorKind>(0)), "NotFound");
  EXPECT_EQ(debug_name(static_cast<ErrorKind>(kErrorKindCount - 1)), "Uncategorized");
}

// Each form answers for itself only: the code of an OS error, the record of
// a fixed or a custom one.
TEST(IoError, AccessorsOfEachForm) {
  IoError os = IoError::from_os_code(EPIPE);
  IoError kind = IoError::from_kind(ErrorKind::TimedOut);
  IoError fixed = IoError::from_fixed(kWriteZero);
  IoError custom = IoError::custom(ErrorKind::Other, nullptr);
  const struct {
    const IoError& error;
    bool os, fixed, custom;
  } cases[] = {
      {os, true, false, false},
      {kind, false, false, false},
      {fixed, false, true, false},
      {custom, false, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.os_code().has_value(), c.os);
    EXPECT_EQ(c.error.fixed() != nullptr, c.fixed);
    EXPECT_EQ(c.error.custom_record() != nullptr, c.custom);
  }
  EXPECT_EQ(fixed.fixed(), &kWriteZero);
  EXPECT_EQ(os.os_code(), EPIPE);
}

TEST(IoError, OnlyNonOsInterruptionsAreRetried) {
  // An OS code is never retried, not even the one that means "interrupted".
  for (std::int32_t code : {EINTR, 0, 4, -1, 10004}) {
    EXPECT_FALSE(IoError::from_os_code(code).is_interrupted()) << code;
  }
  EXPECT_TRUE(IoError::from_kind(ErrorKind::Interrupted).is_interrupted());
  EXPECT_TRUE(IoError::from_fixed(kInterruptedRecord).is_interrupted());
  EXPECT_TRUE(IoError::custom(ErrorKind::Interrupted, nullptr).is_interrupted());
  EXPECT_FALSE(IoError::from_kind(ErrorKind::WouldBlock).is_interrupted());
  EXPECT_FALSE(IoError::from_fixed(kWriteZero).is_interrupted());
}

TEST(IoError, CustomRecordIsReleasedExactlyOnce) {
  int destroyed = 0;
  {
    IoError first = IoError::custom(ErrorKind::Other, std::make_unique<CountedInner>(&destroyed));
    IoError second = std::move(first);
    IoError third = IoError::from_kind(ErrorKind::NotFound);
    third = std::move(second);
    EXPECT_EQ(destroyed, 0);
    Status status(std::move(third));
    IoError back = status.take_error();
    EXPECT_EQ(debug_text(back), "Custom { kind: Other, error: Inner { n: 1 } }");
    // Overwriting a custom error releases the old record.
    back = IoError::from_kind(ErrorKind::NotFound);
    EXPECT_EQ(destroyed, 1);
    IoError again = IoError::custom(ErrorKind::Other, std::make_unique<CountedInner>(&destroyed));
    IoError& alias = again;
    again = std::move(alias);  // self-move keeps the record
    EXPECT_EQ(destroyed, 1);
  }
  EXPECT_EQ(destroyed, 2);
}

TEST(IoError, WritingStopsAtTheSinksFirstFailure) {
  int destroyed = 0;
  IoError errors[] = {
      IoError::from_kind(ErrorKind::NotFound),
      IoError::from_fixed(kWriteZero),
      IoError::from_os_code(ECONNRESET),
      IoError::custom(ErrorKind::Other, std::make_unique<CountedInner>(&destroyed)),
  };
  for (const IoError& error : errors) {
    for (int budget = 0; budget < 12; ++budget) {
      for (bool debug : {true, false}) {
        FailingSink sink(budget + 1);
        debug ? error.write_debug(sink) : error.write_display(sink);
        std::string full = debug ? debug_text(error) : display_text(error);
        if (!sink.refused()) {
          EXPECT_EQ(sink.text, full);
          EXPECT_LE(sink.calls, budget);
        } else {
          EXPECT_EQ(sink.calls, budget + 1) << "nothing is offered after a refusal";
          EXPECT_TRUE(full.starts_with(sink.text));
        }
      }
    }
  }
}

}  // namespace
}  // namespace fc
