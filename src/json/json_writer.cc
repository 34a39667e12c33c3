#include "json/json_writer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace fc {
namespace {

// For each byte: 0 to copy it, otherwise the letter after the backslash; 'u'
// stands for the six-byte \u00XX form.
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> table{};
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}();

constexpr char kHexDigits[] = "0123456789abcdef";

Status write_escape(unsigned char byte, char letter, TextSink& out) {
  if (letter != 'u') {
    const char pair[2] = {'\\', letter};
    return out.write(std::string_view(pair, 2));
  }
  const char six[6] = {'\\', 'u', '0', '0', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
  return out.write(std::string_view(six, 6));
}

}  // namespace

JsonBuffer::JsonBuffer() : data_(new char[kInitialCapacity]), capacity_(kInitialCapacity) {}

void JsonBuffer::grow(std::size_t needed) {
  std::size_t new_capacity = std::max({capacity_ * 2, needed, std::size_t{8}});
  std::unique_ptr<char[]> bigger(new char[new_capacity]);
  if (size_ != 0) std::memcpy(bigger.get(), data_.get(), size_);
  data_ = std::move(bigger);
  capacity_ = new_capacity;
}

Status JsonBuffer::write(std::string_view piece) {
  if (piece.size() > capacity_ - size_) grow(size_ + piece.size());
  if (!piece.empty()) std::memcpy(data_.get() + size_, piece.data(), piece.size());
  size_ += piece.size();
  return {};
}

JsonText JsonBuffer::take() {
  JsonText text(std::move(data_), size_, capacity_);
  size_ = 0;
  capacity_ = 0;
  return text;
}

Status write_json_string(std::string_view text, TextSink& out) {
  if (Status s = out.write("\""); !s.ok()) return s;
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    char letter = kEscapes[byte];
    if (letter == 0) continue;
    if (i > run_start) {
      if (Status s = out.write(text.substr(run_start, i - run_start)); !s.ok()) return s;
    }
    if (Status s = write_escape(byte, letter, out); !s.ok()) return s;
    run_start = i + 1;
  }
  if (text.size() > run_start) {
    if (Status s = out.write(text.substr(run_start)); !s.ok()) return s;
  }
  return out.write("\"");
}

Status write_json_object(std::span<const JsonMember> members, TextSink& out) {
  if (Status s = out.write("{"); !s.ok()) return s;
  bool first = true;
  for (const JsonMember& member : members) {
    if (!first) {
      if (Status s = out.write(","); !s.ok()) return s;
    }
    first = false;
    if (Status s = write_json_string(member.name, out); !s.ok()) return s;
    if (Status s = out.write(":"); !s.ok()) return s;
    if (Status s = write_json_string(member.value, out); !s.ok()) return s;
  }
  return out.write("}");
}

std::expected<JsonText, JsonError> encode_json_object(std::span<const JsonMember> members) {
  JsonBuffer buffer;
  if (Status s = write_json_object(members, buffer); !s.ok()) {
    return std::unexpected(JsonError::from_io(s.take_error()));
  }
  return buffer.take();
}

}  // namespace fc
