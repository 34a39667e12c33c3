#include "error/error_kind.h"

#include <array>

namespace fc {
namespace {

// Two independent tables: a description is not derived from its name.
constexpr std::array<std::string_view, kErrorKindCount> kDebugNames = {
    "NotFound",
    "PermissionDenied",
    "ConnectionRefused",
    "ConnectionReset",
    "HostUnreachable",
    "NetworkUnreachable",
    "ConnectionAborted",
    "NotConnected",
    "AddrInUse",
    "AddrNotAvailable",
    "NetworkDown",
    "BrokenPipe",
    "AlreadyExists",
    "WouldBlock",
    "NotADirectory",
    "IsADirectory",
    "DirectoryNotEmpty",
    "ReadOnlyFilesystem",
    "FilesystemLoop",
    "StaleNetworkFileHandle",
    "InvalidInput",
    "InvalidData",
    "TimedOut",
    "WriteZero",
    "StorageFull",
    "NotSeekable",
    "FilesystemQuotaExceeded",
    "FileTooLarge",
    "ResourceBusy",
    "ExecutableFileBusy",
    "Deadlock",
    "CrossesDevices",
    "TooManyLinks",
    "InvalidFilename",
    "ArgumentListTooLong",
    "Interrupted",
    "Unsupported",
    "UnexpectedEof",
    "OutOfMemory",
    "InProgress",
    "Other",
    "Uncategorized",
};

constexpr std::array<std::string_view, kErrorKindCount> kDescriptions = {
    "entity not found",
    "permission denied",
    "connection refused",
    "connection reset",
    "host unreachable",
    "network unreachable",
    "connection aborted",
    "not connected",
    "address in use",
    "address not available",
    "network down",
    "broken pipe",
    "entity already exists",
    "operation would block",
    "not a directory",
    "is a directory",
    "directory not empty",
    "read-only filesystem or storage medium",
    "filesystem loop or indirection limit (e.g. symlink loop)",
    "stale network file handle",
    "invalid input parameter",
    "invalid data",
    "timed out",
    "write zero",
    "no storage space",
    "seek on unseekable file",
    "filesystem quota exceeded",
    "file too large",
    "resource busy",
    "executable file busy",
    "deadlock",
    "cross-device link or rename",
    "too many links",
    "invalid filename",
    "argument list too long",
    "operation interrupted",
    "unsupported",
    "unexpected end of file",
    "out of memory",
    "in progress",
    "other error",
    "uncategorized error",
};

}  // namespace

std::string_view debug_name(ErrorKind kind) { return kDebugNames[static_cast<std::size_t>(kind)]; }

std::string_view description(ErrorKind kind) {
  return kDescriptions[static_cast<std::size_t>(kind)];
}

}  // namespace fc
