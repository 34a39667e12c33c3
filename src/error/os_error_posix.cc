#include <cerrno>
#include <cstring>
#include <string>

#include "debug_text/utf.h"
#include "error/message_text.h"
#include "error/os_error.h"

namespace fc {

// Our own mapping, since errno values have no table of their own to follow:
// each kind takes the errno value that names that condition (EACCES and EPERM
// both deny permission; EAGAIN and EWOULDBLOCK may be one value). Kinds with
// no natural errno (InvalidData, WriteZero, UnexpectedEof, Other) are never
// produced, and every code not listed is Uncategorized. EINTR maps to
// Interrupted, but an OS error is still never retried by is_interrupted().
ErrorKind kind_from_os_code(std::int32_t code) {
  switch (code) {
    case ENOENT: return ErrorKind::NotFound;
    case EACCES:
    case EPERM: return ErrorKind::PermissionDenied;
    case ECONNREFUSED: return ErrorKind::ConnectionRefused;
    case ECONNRESET: return ErrorKind::ConnectionReset;
    case EHOSTUNREACH: return ErrorKind::HostUnreachable;
    case ENETUNREACH: return ErrorKind::NetworkUnreachable;
    case ECONNABORTED: return ErrorKind::ConnectionAborted;
    case ENOTCONN: return ErrorKind::NotConnected;
    case EADDRINUSE: return ErrorKind::AddrInUse;
    case EADDRNOTAVAIL: return ErrorKind::AddrNotAvailable;
    case ENETDOWN: return ErrorKind::NetworkDown;
    case EPIPE: return ErrorKind::BrokenPipe;
    case EEXIST: return ErrorKind::AlreadyExists;
    case EAGAIN: return ErrorKind::WouldBlock;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return ErrorKind::WouldBlock;
#endif
    case ENOTDIR: return ErrorKind::NotADirectory;
    case EISDIR: return ErrorKind::IsADirectory;
    case ENOTEMPTY: return ErrorKind::DirectoryNotEmpty;
    case EROFS: return ErrorKind::ReadOnlyFilesystem;
    case ELOOP: return ErrorKind::FilesystemLoop;
    case ESTALE: return ErrorKind::StaleNetworkFileHandle;
    case EINVAL: return ErrorKind::InvalidInput;
    case ETIMEDOUT: return ErrorKind::TimedOut;
    case ENOSPC: return ErrorKind::StorageFull;
    case ESPIPE: return ErrorKind::NotSeekable;
    case EDQUOT: return ErrorKind::FilesystemQuotaExceeded;
    case EFBIG: return ErrorKind::FileTooLarge;
    case EBUSY: return ErrorKind::ResourceBusy;
    case ETXTBSY: return ErrorKind::ExecutableFileBusy;
    case EDEADLK: return ErrorKind::Deadlock;
    case EXDEV: return ErrorKind::CrossesDevices;
    case EMLINK: return ErrorKind::TooManyLinks;
    case ENAMETOOLONG: return ErrorKind::InvalidFilename;
    case E2BIG: return ErrorKind::ArgumentListTooLong;
    case EINTR: return ErrorKind::Interrupted;
    case ENOSYS: return ErrorKind::Unsupported;
    case ENOMEM: return ErrorKind::OutOfMemory;
    case EINPROGRESS: return ErrorKind::InProgress;
    default: return ErrorKind::Uncategorized;
  }
}

namespace {

// strerror_r comes in two shapes: the XSI one returns 0 or an error number and
// always writes into the buffer; the GNU one returns the text, which may live
// elsewhere. Either way the result is the text, or null when there is none.
[[maybe_unused]] const char* strerror_text(int result, const char* buffer, int* failure) {
  *failure = result;
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* strerror_text(const char* result, const char*, int* failure) {
  *failure = 0;
  return result;
}

}  // namespace

std::string os_error_message(std::int32_t code) {
  // The thread-safe lookup; the locale is left alone, so the texts are the
  // C locale's.
  char buffer[256] = {};
  int failure = 0;
  const char* text = strerror_text(strerror_r(code, buffer, sizeof buffer), buffer, &failure);
  if (text == nullptr) {
    return "OS Error " + std::to_string(code) + " (strerror_r() returned error " +
           std::to_string(failure) + ")";
  }
  std::string message = to_valid_utf8(text);
  trim_trailing_white_space(message);
  return message;
}

}  // namespace fc
