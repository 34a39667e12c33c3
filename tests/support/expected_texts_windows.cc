#include <windows.h>

#include <string>

#include "support/expected_texts.h"

namespace fc::testing {
namespace {

// The platform's own text for a code, asked for here independently of the
// client, without its trailing line break.
std::string platform_text(DWORD code) {
  wchar_t wide[2048];
  DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               code, 0, wide, 2048, nullptr);
  std::wstring text(wide, units);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  // Printable ASCII shows unchanged between the quotes; anything else would
  // need the quoting rules, which this expectation does not repeat.
  std::string narrow;
  for (wchar_t c : text) {
    if (c < 0x20 || c > 0x7E || c == L'"' || c == L'\\') {
      return "<text for code " + std::to_string(code) + " is not plain ASCII>";
    }
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

}  // namespace

const std::string kRefusedLine = "Error: Os { code: 10061, kind: ConnectionRefused, message: \"" +
                                 platform_text(10061) + "\" }\n";

}  // namespace fc::testing
