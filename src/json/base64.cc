#include "json/base64.h"

namespace fc {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The four chars of the 24 bits in `group`, highest first.
void write_group(std::uint32_t group, char* out) {
  out[0] = kAlphabet[group >> 18];
  out[1] = kAlphabet[(group >> 12) & 0x3f];
  out[2] = kAlphabet[(group >> 6) & 0x3f];
  out[3] = kAlphabet[group & 0x3f];
}

}  // namespace

std::size_t base64_encode(std::span<const std::uint8_t> in, char* out) {
  const std::uint8_t* p = in.data();
  const std::size_t whole = in.size() / 3;
  for (std::size_t i = 0; i < whole; ++i, p += 3, out += 4) {
    write_group(std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2], out);
  }
  const std::size_t rest = in.size() % 3;
  if (rest != 0) {
    // The missing bytes count as zeros; their chars become padding.
    std::uint32_t group = std::uint32_t{p[0]} << 16;
    if (rest == 2) group |= std::uint32_t{p[1]} << 8;
    write_group(group, out);
    out[3] = '=';
    if (rest == 1) out[2] = '=';
  }
  return base64_length(in.size());
}

}  // namespace fc
