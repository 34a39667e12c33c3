#include <windows.h>

#include <algorithm>
#include <string>

#include "error/os_error.h"
#include "error/windows_codes.h"
#include "error/windows_message.h"

namespace fc {

static_assert(kFormatFromSystem == FORMAT_MESSAGE_FROM_SYSTEM);
static_assert(kFormatIgnoreInserts == FORMAT_MESSAGE_IGNORE_INSERTS);
static_assert(kFormatFromModule == FORMAT_MESSAGE_FROM_HMODULE);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

ErrorKind kind_from_os_code(std::int32_t code) { return kind_from_windows_code(code); }

std::string os_error_message(std::int32_t code) {
  // The system writes the units through its own wchar_t pointer; this code
  // only ever reads them as char16_t.
  char16_t buffer[kMessageUnits] = {};
  HMODULE ntdll = nullptr;
  // Only an already loaded module is used: the lookup never loads one.
  if (wants_ntdll(code)) ntdll = GetModuleHandleW(L"NTDLL.DLL");
  MessageLookup lookup = plan_message_lookup(code, ntdll != nullptr);

  DWORD count =
      FormatMessageW(lookup.flags, lookup.from_ntdll ? ntdll : nullptr, lookup.number, 0,
                     reinterpret_cast<LPWSTR>(buffer), static_cast<DWORD>(kMessageUnits), nullptr);
  if (count == 0) return lookup_failed_text(lookup.number, GetLastError());
  std::size_t units = std::min<std::size_t>(count, kMessageUnits);
  return message_from_units(lookup.number, std::u16string_view(buffer, units));
}

}  // namespace fc
