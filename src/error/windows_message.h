#ifndef FC_ERROR_WINDOWS_MESSAGE_H_
#define FC_ERROR_WINDOWS_MESSAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

// The pure steps of the Windows message lookup, kept apart from the system
// calls so that every platform builds and tests them.

namespace fc {

/// FormatMessageW flags, by value.
inline constexpr std::uint32_t kFormatFromSystem = 0x1000;
inline constexpr std::uint32_t kFormatIgnoreInserts = 0x0200;
inline constexpr std::uint32_t kFormatFromModule = 0x0800;

/// Codes with this bit set are looked up in NTDLL.DLL's message table.
inline constexpr std::uint32_t kNtdllCodeBit = 0x10000000;

/// FormatMessageW's buffer size, in UTF-16 units.
inline constexpr std::size_t kMessageUnits = 2048;

/// How FormatMessageW is asked about one code.
struct MessageLookup {
  std::uint32_t number;  ///< the message number passed to the system
  std::uint32_t flags;
  bool from_ntdll;  ///< whether the NTDLL.DLL module handle is passed
};

/// Whether the lookup of `code` wants the NTDLL.DLL module handle.
bool wants_ntdll(std::int32_t code);

/// The lookup for `code`: bit 28 set and NTDLL.DLL already loaded means its
/// table, with the bit cleared in the number; otherwise the system's table
/// with the code's 32 bits unchanged.
MessageLookup plan_message_lookup(std::int32_t code, bool ntdll_loaded);

/// The text when FormatMessageW fails: both numbers in signed decimal.
std::string lookup_failed_text(std::uint32_t number, std::uint32_t reason);

/// The text for the units FormatMessageW wrote: strict UTF-8 without trailing
/// white space, or the invalid-UTF-16 text when a surrogate is unpaired.
std::string message_from_units(std::uint32_t number, std::u16string_view units);

}  // namespace fc

#endif  // FC_ERROR_WINDOWS_MESSAGE_H_
