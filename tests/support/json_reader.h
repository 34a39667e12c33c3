#ifndef FC_TESTS_SUPPORT_JSON_READER_H_
#define FC_TESTS_SUPPORT_JSON_READER_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A strict JSON reader (RFC 8259) of the tests' own, written apart from the
// program's code, to read the records frame-sink prints as any consumer
// would.

namespace fc::testing {

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::map<std::string, JsonValue>;

/// A value: null, a boolean, a number (its text), a string (its bytes,
/// escapes decoded to UTF-8), an array or an object.
struct JsonValue {
  struct Number {
    std::string text;
    bool operator==(const Number&) const = default;
  };
  std::variant<std::nullptr_t, bool, Number, std::string, std::shared_ptr<JsonArray>,
               std::shared_ptr<JsonObject>>
      value;

  bool operator==(const JsonValue& other) const;
  /// A member of an object; null when there is none or this is no object.
  const JsonValue* get(const std::string& name) const;
  const std::string* string() const { return std::get_if<std::string>(&value); }
};

/// The one JSON text `text` holds; nothing when it is not exactly one.
std::optional<JsonValue> read_json(std::string_view text);

/// Standard base64, decoded; nothing when it is not.
std::optional<std::string> read_base64(std::string_view text);

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_JSON_READER_H_
