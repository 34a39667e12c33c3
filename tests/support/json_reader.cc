#include "support/json_reader.h"

#include <cstdint>

namespace fc::testing {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<JsonValue> whole() {
    std::optional<JsonValue> value = next();
    blanks();
    if (!value || at_ < text_.size()) return std::nullopt;
    return value;
  }

 private:
  void blanks() {
    while (at_ < text_.size() &&
           std::string_view(" \t\n\r").find(text_[at_]) != std::string_view::npos) {
      ++at_;
    }
  }
  bool take(char c) {
    blanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  std::optional<JsonValue> next() {
    blanks();
    if (at_ >= text_.size()) return std::nullopt;
    char c = text_[at_];
    if (c == '{') return object();
    if (c == '[') return array();
    if (c == '"') {
      std::optional<std::string> s = string();
      if (!s) return std::nullopt;
      return JsonValue{*s};
    }
    if (word("null")) return JsonValue{nullptr};
    if (word("true")) return JsonValue{true};
    if (word("false")) return JsonValue{false};
    return number();
  }

  std::optional<JsonValue> object() {
    ++at_;
    auto members = std::make_shared<JsonObject>();
    if (take('}')) return JsonValue{members};
    do {
      blanks();
      std::optional<std::string> name = string();
      if (!name || !take(':')) return std::nullopt;
      std::optional<JsonValue> value = next();
      if (!value) return std::nullopt;
      (*members)[*name] = *value;
    } while (take(','));
    if (!take('}')) return std::nullopt;
    return JsonValue{members};
  }

  std::optional<JsonValue> array() {
    ++at_;
    auto items = std::make_shared<JsonArray>();
    if (take(']')) return JsonValue{items};
    do {
      std::optional<JsonValue> value = next();
      if (!value) return std::nullopt;
      items->push_back(*value);
    } while (take(','));
    if (!take(']')) return std::nullopt;
    return JsonValue{items};
  }

  std::optional<JsonValue> number() {
    std::size_t start = at_;
    auto digits = [&] {
      std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    word("-");
    if (!word("0") && !digits()) return std::nullopt;
    if (word(".") && !digits()) return std::nullopt;
    if (word("e") || word("E")) {
      if (!word("+")) word("-");
      if (!digits()) return std::nullopt;
    }
    return JsonValue{JsonValue::Number{std::string(text_.substr(start, at_ - start))}};
  }

  // A string's bytes: escapes decoded, a surrogate pair joined; raw bytes
  // must be UTF-8 and never a control byte.
  std::optional<std::string> string() {
    if (!word("\"")) return std::nullopt;
    std::string out;
    while (at_ < text_.size()) {
      auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return out;
      if (c < 0x20) return std::nullopt;
      if (c >= 0x80) {
        if (!utf8(c, out)) return std::nullopt;
        continue;
      }
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return std::nullopt;
      char e = text_[at_++];
      std::string_view simple = "\"\\/bfnrt";
      std::string_view meant = "\"\\/\b\f\n\r\t";
      if (std::size_t k = simple.find(e); k != std::string_view::npos) {
        out += meant[k];
      } else if (e != 'u' || !escaped_code_point(out)) {
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<std::uint32_t> hex4() {
    if (at_ + 4 > text_.size()) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      char h = text_[at_++];
      int digit = h >= '0' && h <= '9'   ? h - '0'
                  : h >= 'a' && h <= 'f' ? h - 'a' + 10
                  : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                         : -1;
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
  }

  bool escaped_code_point(std::string& out) {
    std::optional<std::uint32_t> unit = hex4();
    if (!unit) return false;
    std::uint32_t cp = *unit;
    if (cp >= 0xD800 && cp < 0xDC00 && word("\\u")) {
      std::optional<std::uint32_t> low = hex4();
      if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
    }
    append(cp, out);
    return true;
  }

  static void append(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  // A UTF-8 sequence whose first byte, `lead`, was read: well formed, no
  // overlong form, no surrogate, nothing above U+10FFFF.
  bool utf8(unsigned char lead, std::string& out) {
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (more < 0 || lead > 0xF4 || at_ + static_cast<std::size_t>(more) > text_.size()) {
      return false;
    }
    std::uint32_t cp = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
      auto c = static_cast<unsigned char>(text_[at_ + static_cast<std::size_t>(i)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out += static_cast<char>(lead);
    out.append(text_.substr(at_, static_cast<std::size_t>(more)));
    at_ += static_cast<std::size_t>(more);
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

bool JsonValue::operator==(const JsonValue& other) const {
  if (value.index() != other.value.index()) return false;
  if (const auto* array = std::get_if<std::shared_ptr<JsonArray>>(&value)) {
    return **array == *std::get<std::shared_ptr<JsonArray>>(other.value);
  }
  if (const auto* object = std::get_if<std::shared_ptr<JsonObject>>(&value)) {
    return **object == *std::get<std::shared_ptr<JsonObject>>(other.value);
  }
  return value == other.value;
}

const JsonValue* JsonValue::get(const std::string& name) const {
  const auto* object = std::get_if<std::shared_ptr<JsonObject>>(&value);
  if (object == nullptr) return nullptr;
  auto member = (*object)->find(name);
  return member == (*object)->end() ? nullptr : &member->second;
}

std::optional<JsonValue> read_json(std::string_view text) { return Reader(text).whole(); }

std::optional<std::string> read_base64(std::string_view text) {
  constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    std::uint32_t group = 0;
    int pads = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      char c = text[i + k];
      std::size_t digit = kAlphabet.find(c);
      bool pad = c == '=' && i + 4 == text.size() && k >= 2;
      if (digit == std::string_view::npos && !pad) return std::nullopt;
      if (pad) ++pads;
      group = group << 6 | (pad ? 0 : static_cast<std::uint32_t>(digit));
    }
    out += static_cast<char>(group >> 16);
    if (pads < 2) out += static_cast<char>(group >> 8 & 0xFF);
    if (pads < 1) out += static_cast<char>(group & 0xFF);
  }
  return out;
}

}  // namespace fc::testing
