// errno codes and their texts exist only on POSIX systems.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "error/os_error.h"

namespace fc {
namespace {

TEST(PosixCodes, EachKindTakesItsNaturalErrno) {
  using K = ErrorKind;
  struct Case {
    int code;
    ErrorKind kind;
  };
  const Case cases[] = {
      {ENOENT, K::NotFound},
      {EACCES, K::PermissionDenied},
      {EPERM, K::PermissionDenied},
      {ECONNREFUSED, K::ConnectionRefused},
      {ECONNRESET, K::ConnectionReset},
      {EHOSTUNREACH, K::HostUnreachable},
      {ENETUNREACH, K::NetworkUnreachable},
      {ECONNABORTED, K::ConnectionAborted},
      {ENOTCONN, K::NotConnected},
      {EADDRINUSE, K::AddrInUse},
      {EADDRNOTAVAIL, K::AddrNotAvailable},
      {ENETDOWN, K::NetworkDown},
      {EPIPE, K::BrokenPipe},
      {EEXIST, K::AlreadyExists},
      {EAGAIN, K::WouldBlock},
      {EWOULDBLOCK, K::WouldBlock},
      {ENOTDIR, K::NotADirectory},
      {EISDIR, K::IsADirectory},
      {ENOTEMPTY, K::DirectoryNotEmpty},
      {EROFS, K::ReadOnlyFilesystem},
      {ELOOP, K::FilesystemLoop},
      {ESTALE, K::StaleNetworkFileHandle},
      {EINVAL, K::InvalidInput},
      {ETIMEDOUT, K::TimedOut},
      {ENOSPC, K::StorageFull},
      {ESPIPE, K::NotSeekable},
      {EDQUOT, K::FilesystemQuotaExceeded},
      {EFBIG, K::FileTooLarge},
      {EBUSY, K::ResourceBusy},
      {ETXTBSY, K::ExecutableFileBusy},
      {EDEADLK, K::Deadlock},
      {EXDEV, K::CrossesDevices},
      {EMLINK, K::TooManyLinks},
      {ENAMETOOLONG, K::InvalidFilename},
      {E2BIG, K::ArgumentListTooLong},
      {EINTR, K::Interrupted},
      {ENOSYS, K::Unsupported},
      {ENOMEM, K::OutOfMemory},
      {EINPROGRESS, K::InProgress},
      // Everything else, including codes close to the listed ones.
      {0, K::Uncategorized},
      {-1, K::Uncategorized},
      {EIO, K::Uncategorized},
      {EBADF, K::Uncategorized},
      {ENOTSOCK, K::Uncategorized},
      {EALREADY, K::Uncategorized},
      {EMFILE, K::Uncategorized},
      {ENOTSUP, K::Uncategorized},
      {10061, K::Uncategorized},
      {ENOSPC | 0x10000000, K::Uncategorized},
  };
  for (const Case& c : cases) EXPECT_EQ(kind_from_os_code(c.code), c.kind) << c.code;
}

TEST(PosixMessages, PlatformTextWithoutTrailingWhiteSpace) {
  struct Case {
    int code;
    std::string text;
  };
  // The C locale's texts: the program never changes the locale.
  const Case cases[] = {
      {ENOSPC, "No space left on device"},
      {EPIPE, "Broken pipe"},
      {ECONNREFUSED, "Connection refused"},
  };
  for (const Case& c : cases) EXPECT_EQ(os_error_message(c.code), c.text);
}

TEST(PosixMessages, EveryCodeGivesCleanText) {
  for (std::int32_t code : {0, 1, -1, 4095, 123456, INT32_MIN, INT32_MAX}) {
    std::string text = os_error_message(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), ' ') << code;
    EXPECT_NE(text.back(), '\n') << code;
  }
}

}  // namespace
}  // namespace fc
