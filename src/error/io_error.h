#ifndef FC_ERROR_IO_ERROR_H_
#define FC_ERROR_IO_ERROR_H_

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "error/error_kind.h"

namespace fc {

class TextSink;

/// A constant error record: the error value only points at it. Aligned to at
/// least 4 so that its address leaves the error word's two tag bits free.
struct FixedMessage {
  std::string_view message;
  ErrorKind kind;
};
static_assert(alignof(FixedMessage) >= 4);

/// Error types that a custom error can carry: they render themselves.
class InnerError {
 public:
  virtual ~InnerError() = default;
  virtual void write_debug(TextSink& sink) const = 0;
  virtual void write_display(TextSink& sink) const = 0;
};

/// The heap record behind a custom error; aligned like FixedMessage.
struct CustomError {
  std::unique_ptr<InnerError> error;
  ErrorKind kind;
};
static_assert(alignof(CustomError) >= 4);

/// The one error type that crosses the program: an operating-system code, a
/// bare kind, a constant message or an owned custom record, in one 64-bit
/// word (a machine word on 64-bit machines; on 32-bit ones the addresses
/// fill its lower half). The low two bits of the word tell the form:
///   00 fixed message (address of the record), 01 custom (address + 1),
///   10 OS error (code in the upper 32 bits), 11 kind (value in upper 32 bits).
/// The all-zero word is "no error"; only `Status` and moved-from values hold it.
class [[nodiscard]] IoError {
 public:
  /// An operating-system error; its kind is worked out when asked for.
  static IoError from_os_code(std::int32_t code) noexcept;
  static IoError from_kind(ErrorKind kind) noexcept;
  static IoError from_fixed(const FixedMessage& fixed) noexcept;
  /// Allocates the record that owns `inner` (never null); memory running out
  /// here ends the process.
  static IoError custom(ErrorKind kind, std::unique_ptr<InnerError> inner);

  IoError(IoError&& other) noexcept : repr_(other.repr_) { other.repr_ = 0; }
  IoError& operator=(IoError&& other) noexcept;
  IoError(const IoError&) = delete;
  IoError& operator=(const IoError&) = delete;
  // Only the custom form owns anything; the check stays inline so that the
  // common no-error and constant forms cost nothing to destroy.
  ~IoError() {
    if ((repr_ & kTagMask) == kCustom) release();
  }

  ErrorKind kind() const;
  /// Whether the failed operation should simply be tried again. Never true for
  /// an operating-system error.
  bool is_interrupted() const;

  void write_debug(TextSink& sink) const;
  void write_display(TextSink& sink) const;

  /// The code of an operating-system error, or nothing for the other forms.
  std::optional<std::int32_t> os_code() const;
  /// The record of a fixed-message error, or null.
  const FixedMessage* fixed() const;
  /// The record of a custom error, or null.
  const CustomError* custom_record() const;

 private:
  friend class Status;
  enum Tag : std::uint64_t { kFixed = 0, kCustom = 1, kOs = 2, kKind = 3 };
  static constexpr std::uint64_t kTagMask = 3;

  IoError() noexcept = default;
  explicit IoError(std::uint64_t repr) noexcept : repr_(repr) {}
  Tag tag() const { return static_cast<Tag>(repr_ & kTagMask); }
  std::uint32_t payload() const { return static_cast<std::uint32_t>(repr_ >> 32); }
  void release() noexcept;

  std::uint64_t repr_ = 0;
};

static_assert(sizeof(void*) <= sizeof(std::uint64_t), "an address must fit the error word");
static_assert(sizeof(IoError) == sizeof(std::uint64_t));

/// The result of an operation that returns nothing but may fail: the error
/// word, all zero on success.
class [[nodiscard]] Status {
 public:
  Status() noexcept = default;
  Status(IoError error) noexcept : error_(std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const { return error_.repr_ == 0; }
  /// The error; only valid when !ok().
  const IoError& error() const { return error_; }
  IoError take_error() { return std::move(error_); }

 private:
  IoError error_;
};

static_assert(sizeof(Status) == sizeof(IoError));

/// The result of an operation that returns a value or fails.
template <typename T>
using Result = std::expected<T, IoError>;

/// The error of a failed result, moved out, ready to be returned upward.
template <typename T>
std::unexpected<IoError> take_error(Result<T>& result) {
  return std::unexpected<IoError>(std::move(result.error()));
}

/// The error's display form as a text, for reports that hold it among
/// others.
std::string display_text(const IoError& error);

/// Every writer's error when a device takes nothing of a write. A layer's own
/// records sit in its headers like this one, as `inline constexpr`, which
/// gives each one address in the whole program.
inline constexpr FixedMessage kWriteZero{"failed to write whole buffer", ErrorKind::WriteZero};

}  // namespace fc

#endif  // FC_ERROR_IO_ERROR_H_
