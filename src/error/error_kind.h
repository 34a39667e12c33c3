#ifndef FC_ERROR_ERROR_KIND_H_
#define FC_ERROR_ERROR_KIND_H_

#include <cstdint>
#include <string_view>

namespace fc {

/// The classification of I/O failures. The values are part of the error
/// word's layout and index the two name tables, so they never change.
enum class ErrorKind : std::uint8_t {
  NotFound,
  PermissionDenied,
  ConnectionRefused,
  ConnectionReset,
  HostUnreachable,
  NetworkUnreachable,
  ConnectionAborted,
  NotConnected,
  AddrInUse,
  AddrNotAvailable,
  NetworkDown,
  BrokenPipe,
  AlreadyExists,
  WouldBlock,
  NotADirectory,
  IsADirectory,
  DirectoryNotEmpty,
  ReadOnlyFilesystem,
  FilesystemLoop,
  StaleNetworkFileHandle,
  InvalidInput,
  InvalidData,
  TimedOut,
  WriteZero,
  StorageFull,
  NotSeekable,
  FilesystemQuotaExceeded,
  FileTooLarge,
  ResourceBusy,
  ExecutableFileBusy,
  Deadlock,
  CrossesDevices,
  TooManyLinks,
  InvalidFilename,
  ArgumentListTooLong,
  Interrupted,
  Unsupported,
  UnexpectedEof,
  OutOfMemory,
  InProgress,
  Other,
  Uncategorized,
};

/// Number of kinds; every value below it is a kind.
inline constexpr int kErrorKindCount = 42;

/// The kind's identifier, as shown in debug forms ("ConnectionRefused").
std::string_view debug_name(ErrorKind kind);

/// The kind's display text ("connection refused").
std::string_view description(ErrorKind kind);

}  // namespace fc

#endif  // FC_ERROR_ERROR_KIND_H_
