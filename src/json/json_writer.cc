#include "json/json_writer.h"

#include <algorithm>
#include <cstring>

#include "json/json_escape.h"

namespace fc {
namespace {

void write_escape(unsigned char byte, char letter, TextSink& out) {
  char escape[kLongestJsonEscape];
  out.write(std::string_view(escape, write_json_escape(byte, letter, escape)));
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

bool JsonBuffer::put(std::string_view piece) {
  if (piece.size() > capacity_ - size_) grow(size_ + piece.size());
  if (!piece.empty()) std::memcpy(data_.get() + size_, piece.data(), piece.size());
  size_ += piece.size();
  return true;
}

JsonText JsonBuffer::take() {
  JsonText text(std::move(data_), size_, capacity_);
  size_ = 0;
  capacity_ = 0;
  return text;
}

void write_json_string(std::string_view text, TextSink& out) {
  out.write("\"");
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    char letter = kJsonEscapeLetters[byte];
    if (letter == 0) continue;
    if (i > run_start) out.write(text.substr(run_start, i - run_start));
    write_escape(byte, letter, out);
    run_start = i + 1;
  }
  if (text.size() > run_start) out.write(text.substr(run_start));
  out.write("\"");
}

void write_json_object(std::span<const JsonMember> members, TextSink& out) {
  out.write("{");
  bool first = true;
  for (const JsonMember& member : members) {
    if (!first) out.write(",");
    first = false;
    write_json_string(member.name, out);
    out.write(":");
    write_json_string(member.value, out);
  }
  out.write("}");
}

std::expected<JsonText, JsonError> encode_json_object(std::span<const JsonMember> members) {
  // The buffer grows for every piece (or the process ends without memory),
  // so encoding into it has no failure of its own.
  JsonBuffer buffer;
  write_json_object(members, buffer);
  return buffer.take();
}

}  // namespace fc
