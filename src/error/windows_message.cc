#include "error/windows_message.h"

#include <optional>

#include "debug_text/utf.h"
#include "error/message_text.h"

namespace fc {
namespace {

std::string signed_decimal(std::uint32_t number) {
  return std::to_string(static_cast<std::int32_t>(number));
}

}  // namespace

bool wants_ntdll(std::int32_t code) {
  return (static_cast<std::uint32_t>(code) & kNtdllCodeBit) != 0;
}

MessageLookup plan_message_lookup(std::int32_t code, bool ntdll_loaded) {
  MessageLookup lookup{static_cast<std::uint32_t>(code), kFormatFromSystem | kFormatIgnoreInserts,
                       false};
  if (wants_ntdll(code) && ntdll_loaded) {
    lookup.number &= ~kNtdllCodeBit;
    lookup.flags |= kFormatFromModule;
    lookup.from_ntdll = true;
  }
  return lookup;
}

std::string lookup_failed_text(std::uint32_t number, std::uint32_t reason) {
  return "OS Error " + signed_decimal(number) + " (FormatMessageW() returned error " +
         signed_decimal(reason) + ")";
}

std::string message_from_units(std::uint32_t number, std::u16string_view units) {
  std::optional<std::string> text = utf16_to_utf8(units.substr(0, kMessageUnits));
  if (!text)
    return "OS Error " + signed_decimal(number) + " (FormatMessageW() returned invalid UTF-16)";
  trim_trailing_white_space(*text);
  return std::move(*text);
}

}  // namespace fc
