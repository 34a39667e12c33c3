#ifndef FC_FUZZ_FUZZ_CHECK_H_
#define FC_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fc {

/// Ends the fuzz run with a report when a property does not hold, so that
/// libFuzzer keeps the input that broke it.
inline void fuzz_check(bool holds, const char* property, std::string_view input) {
  if (holds) return;
  (void)std::fprintf(stderr, "property broken: %s\ninput (%zu bytes): \"", property, input.size());
  for (unsigned char c : input) {
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      (void)std::fputc(c, stderr);
    } else {
      (void)std::fprintf(stderr, "\\x%02x", c);
    }
  }
  (void)std::fputs("\"\n", stderr);
  std::abort();
}

}  // namespace fc

#endif  // FC_FUZZ_FUZZ_CHECK_H_
