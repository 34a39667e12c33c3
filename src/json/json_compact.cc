#include "json/json_compact.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

#include "debug_text/utf.h"

namespace fc {
namespace {

// Strings are scanned eight bytes at a time: the bytes of a word are tested
// all at once with carries kept inside each byte ("SWAR").
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The eight bytes at `p`, the first one lowest, so that the lowest flag found
// belongs to the first byte flagged.
std::uint64_t load_word(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = std::byteswap(word);
  return word;
}

// The high bit of each byte of `word` equal to `byte`. A borrow can also flag
// a byte above one that matches, never one below, so the lowest flag is exact.
constexpr std::uint64_t bytes_equal(std::uint64_t word, std::uint8_t byte) {
  std::uint64_t x = word ^ (kOnes * byte);
  return (x - kOnes) & ~x & kHighBits;
}

// How many of the flagged word's bytes come before its first flagged one: 8
// when none is flagged.
std::size_t first_flagged(std::uint64_t flags) {
  return static_cast<std::size_t>(std::countr_zero(flags)) / 8;
}

bool is_space(std::uint8_t c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

bool is_digit(std::uint8_t c) { return static_cast<unsigned>(c - '0') < 10; }

bool is_hex_digit(std::uint8_t c) {
  unsigned lower = c | 0x20u;
  return is_digit(c) || (lower >= 'a' && lower <= 'f');
}

// The bytes of the text still to read.
struct Cursor {
  const std::uint8_t* p;
  const std::uint8_t* end;

  bool at_end() const { return p == end; }
  std::size_t left() const { return static_cast<std::size_t>(end - p); }

  /// Consumes `c` if it comes next.
  bool take(std::uint8_t c) {
    if (p == end || *p != c) return false;
    ++p;
    return true;
  }

  void skip_space() {
    while (p != end && is_space(*p)) ++p;
  }

  /// One or more digits.
  bool take_digits() {
    const std::uint8_t* start = p;
    while (p != end && is_digit(*p)) ++p;
    return p != start;
  }

  /// Consumes `word` if it comes next.
  bool take_word(std::string_view word) {
    if (left() < word.size() || std::memcmp(p, word.data(), word.size()) != 0) return false;
    p += word.size();
    return true;
  }
};

// How many of the eight bytes at `p` can be passed over inside a string before
// one that needs a look of its own: a quote, a backslash, a control byte, or a
// byte of a multi-byte UTF-8 sequence.
std::size_t plain_string_bytes(const std::uint8_t* p) {
  std::uint64_t word = load_word(p);
  std::uint64_t control = (word - kOnes * 0x20) & ~word & kHighBits;
  return first_flagged(control | bytes_equal(word, '"') | bytes_equal(word, '\\') |
                       (word & kHighBits));
}

// An escape, its backslash already taken.
bool read_escape(Cursor& in) {
  if (in.at_end()) return false;
  switch (*in.p++) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't': return true;
    case 'u':
      if (in.left() < 4) return false;
      for (int i = 0; i < 4; ++i) {
        if (!is_hex_digit(in.p[i])) return false;
      }
      in.p += 4;
      return true;
    default: return false;
  }
}

// The rest of a string, its opening quote already taken.
bool read_string(Cursor& in) {
  for (;;) {
    while (in.left() >= 8) {
      std::size_t plain = plain_string_bytes(in.p);
      in.p += plain;
      if (plain < 8) break;
    }
    if (in.at_end()) return false;
    std::uint8_t c = *in.p;
    if (c == '"') {
      ++in.p;
      return true;
    }
    if (c == '\\') {
      ++in.p;
      if (!read_escape(in)) return false;
    } else if (c < 0x20) {
      return false;
    } else if (c < 0x80) {
      ++in.p;
    } else {
      Utf8Sequence sequence =
          decode_utf8(std::string_view(reinterpret_cast<const char*>(in.p), in.left()));
      if (!sequence.well_formed) return false;
      in.p += sequence.length;
    }
  }
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool read_number(Cursor& in) {
  in.take('-');
  if (!in.take('0') && !in.take_digits()) return false;
  if (in.take('.') && !in.take_digits()) return false;
  if (in.take('e') || in.take('E')) {
    if (!in.take('+')) in.take('-');
    if (!in.take_digits()) return false;
  }
  return true;
}

// A member's name and the colon after it.
bool read_name(Cursor& in) {
  in.skip_space();
  if (!in.take('"') || !read_string(in)) return false;
  in.skip_space();
  return in.take(':');
}

// The arrays and objects open around the reading position, innermost last.
// A fixed array rather than recursion, so that the depth costs no stack; left
// unset, as only the places pushed are read, so that a short text costs no
// clearing of it.
class Nesting {
 public:
  std::size_t depth() const { return depth_; }
  bool in_object() const { return objects_[depth_ - 1]; }

  /// False when kJsonMaxDepth are open already.
  bool push(bool object) {
    if (depth_ == kJsonMaxDepth) return false;
    objects_[depth_++] = object;
    return true;
  }

  void pop() { --depth_; }

 private:
  std::array<bool, kJsonMaxDepth> objects_;
  std::size_t depth_ = 0;
};

// The byte that closes an object, or an array.
std::uint8_t closing(bool object) { return object ? '}' : ']'; }

// Where the reading stands after a step.
enum class Step {
  kValue,       ///< a value comes next
  kAfterValue,  ///< a value has just ended
  kDone,        ///< the whole text was one value
  kFail,        ///< the text is not JSON
};

// A value, or the opening of an array or object and, for an object, its
// first member's name.
Step read_value(Cursor& in, Nesting& nesting) {
  in.skip_space();
  if (in.at_end()) return Step::kFail;
  const std::uint8_t c = *in.p++;
  switch (c) {
    case '{':
    case '[': {
      const bool object = c == '{';
      if (!nesting.push(object)) return Step::kFail;
      in.skip_space();
      if (in.take(closing(object))) {
        nesting.pop();
        return Step::kAfterValue;
      }
      return !object || read_name(in) ? Step::kValue : Step::kFail;
    }
    case '"': return read_string(in) ? Step::kAfterValue : Step::kFail;
    case 't': return in.take_word("rue") ? Step::kAfterValue : Step::kFail;
    case 'f': return in.take_word("alse") ? Step::kAfterValue : Step::kFail;
    case 'n': return in.take_word("ull") ? Step::kAfterValue : Step::kFail;
    default: --in.p; return read_number(in) ? Step::kAfterValue : Step::kFail;
  }
}

// After a value: closes the arrays and objects that end there, then reads the
// comma (and in an object the next name) before the next value, or finds the
// end of the text.
Step after_value(Cursor& in, Nesting& nesting) {
  for (;;) {
    in.skip_space();
    if (nesting.depth() == 0) return in.at_end() ? Step::kDone : Step::kFail;
    if (in.at_end()) return Step::kFail;
    const std::uint8_t c = *in.p++;
    const bool object = nesting.in_object();
    if (c == ',') return !object || read_name(in) ? Step::kValue : Step::kFail;
    if (c != closing(object)) return Step::kFail;
    nesting.pop();
  }
}

// Where the first quote or backslash is in [p, end), or end.
const std::uint8_t* find_quote_or_backslash(const std::uint8_t* p, const std::uint8_t* end) {
  while (end - p >= 8) {
    std::uint64_t word = load_word(p);
    std::size_t plain = first_flagged(bytes_equal(word, '"') | bytes_equal(word, '\\'));
    if (plain < 8) return p + plain;
    p += 8;
  }
  while (p != end && *p != '"' && *p != '\\') ++p;
  return p;
}

}  // namespace

bool is_json_text(std::span<const std::uint8_t> bytes) {
  Cursor in{bytes.data(), bytes.data() + bytes.size()};
  Nesting nesting;
  for (;;) {
    Step step = read_value(in, nesting);
    if (step == Step::kAfterValue) step = after_value(in, nesting);
    if (step != Step::kValue) return step == Step::kDone;
  }
}

std::size_t JsonCompactor::compact(std::span<const std::uint8_t> in, char* out) {
  const std::uint8_t* p = in.data();
  const std::uint8_t* const end = p + in.size();
  char* o = out;
  while (p != end) {
    if (!in_string_) {
      const std::uint8_t c = *p++;
      if (is_space(c)) {
        had_whitespace_ = true;
        continue;
      }
      *o++ = static_cast<char>(c);
      in_string_ = c == '"';
    } else if (after_backslash_) {
      *o++ = static_cast<char>(*p++);
      after_backslash_ = false;
    } else {
      // memmove: when compacting in place, the run may overlap its copy.
      const std::uint8_t* stop = find_quote_or_backslash(p, end);
      std::memmove(o, p, static_cast<std::size_t>(stop - p));
      o += stop - p;
      p = stop;
      if (p == end) break;
      const std::uint8_t c = *p++;
      *o++ = static_cast<char>(c);
      if (c == '"') {
        in_string_ = false;
      } else {
        after_backslash_ = true;
      }
    }
  }
  return static_cast<std::size_t>(o - out);
}

}  // namespace fc
