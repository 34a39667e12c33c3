#include "error/windows_codes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <vector>

namespace fc {
namespace {

// The Windows codes that have a kind, written out independently of the switch.
const std::map<std::int32_t, ErrorKind>& windows_table() {
  using K = ErrorKind;
  struct Row {
    ErrorKind kind;
    std::vector<std::int32_t> codes;
  };
  static const Row rows[] = {
      {K::NotFound, {2, 3, 15, 53, 67}},
      {K::PermissionDenied, {5, 10013}},
      {K::ConnectionRefused, {10061}},
      {K::ConnectionReset, {10054}},
      {K::HostUnreachable, {1232, 10065}},
      {K::NetworkUnreachable, {1231, 10051}},
      {K::ConnectionAborted, {10053}},
      {K::NotConnected, {10057}},
      {K::AddrInUse, {10048}},
      {K::AddrNotAvailable, {10049}},
      {K::NetworkDown, {10050}},
      {K::BrokenPipe, {109, 232}},
      {K::AlreadyExists, {80, 183}},
      {K::WouldBlock, {10035}},
      {K::NotADirectory, {267}},
      {K::IsADirectory, {336}},
      {K::DirectoryNotEmpty, {145}},
      {K::ReadOnlyFilesystem, {19}},
      {K::FilesystemLoop, {1921}},
      {K::InvalidInput, {87, 10022}},
      {K::TimedOut,
       {121, 258, 594, 995, 1053, 1121, 1460, 5910, 7012, 7040, 8014, 8226, 9705, 10060, 13805,
        15402, 15403}},
      {K::StorageFull, {39, 112}},
      {K::NotSeekable, {132}},
      {K::FilesystemQuotaExceeded, {1295, 10069}},
      {K::FileTooLarge, {223}},
      {K::ResourceBusy, {170}},
      {K::Deadlock, {1131}},
      {K::CrossesDevices, {17}},
      {K::TooManyLinks, {1142}},
      {K::InvalidFilename, {123, 161, 206}},
      {K::Unsupported, {120}},
      {K::OutOfMemory, {8, 14}},
  };
  static const std::map<std::int32_t, ErrorKind> table = [] {
    std::map<std::int32_t, ErrorKind> codes;
    for (const Row& row : rows) {
      for (std::int32_t code : row.codes) codes.emplace(code, row.kind);
    }
    return codes;
  }();
  return table;
}

ErrorKind expected_kind(std::int32_t code) {
  auto found = windows_table().find(code);
  return found == windows_table().end() ? ErrorKind::Uncategorized : found->second;
}

TEST(WindowsCodes, EveryListedCodeAndItsNeighbours) {
  ASSERT_EQ(windows_table().size(), 63u);
  for (const auto& [code, kind] : windows_table()) {
    SCOPED_TRACE(code);
    EXPECT_EQ(kind_from_windows_code(code), kind);
    // A neighbour has its own entry or none: off-by-one ranges show up here.
    EXPECT_EQ(kind_from_windows_code(code - 1), expected_kind(code - 1));
    EXPECT_EQ(kind_from_windows_code(code + 1), expected_kind(code + 1));
  }
}

TEST(WindowsCodes, CodesAreNeverMasked) {
  for (const auto& [code, kind] : windows_table()) {
    SCOPED_TRACE(code);
    // Bit 28 (NTDLL status codes), the HRESULT form and the sign all count.
    EXPECT_EQ(kind_from_windows_code(code | 0x10000000), ErrorKind::Uncategorized);
    EXPECT_EQ(kind_from_windows_code(static_cast<std::int32_t>(0x80070000u | code)),
              ErrorKind::Uncategorized);
    EXPECT_EQ(kind_from_windows_code(-code), ErrorKind::Uncategorized);
    EXPECT_EQ(kind_from_windows_code(code + 65536), ErrorKind::Uncategorized);
  }
}

TEST(WindowsCodes, UnlistedCodesAreUncategorized) {
  for (std::int32_t code :
       {0, 1, 4, -1, 10064, 10040, 10041, 10062, 6, 7, INT_MIN, INT_MAX, -2147024891, 268435461}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(kind_from_windows_code(code), ErrorKind::Uncategorized);
  }
  // A sweep over the common range finds any stray entry of the switch.
  for (int code = -100; code < 20000; ++code) {
    ErrorKind kind = kind_from_windows_code(code);
    ASSERT_EQ(kind, expected_kind(code)) << code;
  }
}

}  // namespace
}  // namespace fc
