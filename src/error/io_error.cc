#include "error/io_error.h"

#include <string>

#include "debug_text/debug_form.h"
#include "debug_text/text_sink.h"
#include "error/os_error.h"

namespace fc {

IoError IoError::from_os_code(std::int32_t code) noexcept {
  return IoError((std::uint64_t{static_cast<std::uint32_t>(code)} << 32) | kOs);
}

IoError IoError::from_kind(ErrorKind kind) noexcept {
  return IoError((std::uint64_t{static_cast<std::uint8_t>(kind)} << 32) | kKind);
}

IoError IoError::from_fixed(const FixedMessage& fixed) noexcept {
  return IoError(reinterpret_cast<std::uintptr_t>(&fixed));
}

IoError IoError::custom(ErrorKind kind, std::unique_ptr<InnerError> inner) {
  auto* record = new CustomError{std::move(inner), kind};
  return IoError(reinterpret_cast<std::uintptr_t>(record) | kCustom);
}

IoError& IoError::operator=(IoError&& other) noexcept {
  if (this != &other) {
    release();
    repr_ = other.repr_;
    other.repr_ = 0;
  }
  return *this;
}

void IoError::release() noexcept {
  if (repr_ != 0 && tag() == kCustom) delete const_cast<CustomError*>(custom_record());
  repr_ = 0;
}

std::optional<std::int32_t> IoError::os_code() const {
  if (repr_ == 0 || tag() != kOs) return std::nullopt;
  return static_cast<std::int32_t>(payload());
}

const FixedMessage* IoError::fixed() const {
  if (repr_ == 0 || tag() != kFixed) return nullptr;
  return reinterpret_cast<const FixedMessage*>(static_cast<std::uintptr_t>(repr_));
}

const CustomError* IoError::custom_record() const {
  if (repr_ == 0 || tag() != kCustom) return nullptr;
  return reinterpret_cast<const CustomError*>(static_cast<std::uintptr_t>(repr_ - kCustom));
}

ErrorKind IoError::kind() const {
  switch (tag()) {
    case kFixed: return fixed()->kind;
    case kCustom: return custom_record()->kind;
    case kOs: return kind_from_os_code(static_cast<std::int32_t>(payload()));
    case kKind: break;
  }
  return static_cast<ErrorKind>(payload());
}

bool IoError::is_interrupted() const { return tag() != kOs && kind() == ErrorKind::Interrupted; }

void IoError::write_debug(TextSink& sink) const {
  switch (tag()) {
    case kOs: {
      auto code = static_cast<std::int32_t>(payload());
      std::string message = os_error_message(code);
      DebugRecord(sink, "Os")
          .field("code", std::int64_t{code})
          .field("kind", debug_name(kind_from_os_code(code)))
          .quoted_field("message", message)
          .finish();
      return;
    }
    case kKind: DebugTuple(sink, "Kind").field(debug_name(kind())).finish(); return;
    case kFixed:
      DebugRecord(sink, "Error")
          .field("kind", debug_name(fixed()->kind))
          .quoted_field("message", fixed()->message)
          .finish();
      return;
    case kCustom:
      DebugRecord(sink, "Custom")
          .field("kind", debug_name(custom_record()->kind))
          .field_with("error", [&](TextSink& s) { custom_record()->error->write_debug(s); })
          .finish();
      return;
  }
}

void IoError::write_display(TextSink& sink) const {
  switch (tag()) {
    case kOs: {
      auto code = static_cast<std::int32_t>(payload());
      sink.write(os_error_message(code));
      sink.write(" (os error ");
      write_decimal(sink, std::int64_t{code});
      sink.write(")");
      return;
    }
    case kKind: sink.write(description(kind())); return;
    case kFixed: sink.write(fixed()->message); return;
    case kCustom: custom_record()->error->write_display(sink); return;
  }
}

std::string display_text(const IoError& error) {
  StringSink text;
  error.write_display(text);
  return text.take();
}

}  // namespace fc
