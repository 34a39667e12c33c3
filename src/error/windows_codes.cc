#include "error/windows_codes.h"

namespace fc {

// The platform's names of the codes are given beside each number.
ErrorKind kind_from_windows_code(std::int32_t code) {
  switch (code) {
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 15:  // ERROR_INVALID_DRIVE
    case 53:  // ERROR_BAD_NETPATH
    case 67:  // ERROR_BAD_NET_NAME
      return ErrorKind::NotFound;
    case 5:      // ERROR_ACCESS_DENIED
    case 10013:  // WSAEACCES
      return ErrorKind::PermissionDenied;
    case 10061:  // WSAECONNREFUSED
      return ErrorKind::ConnectionRefused;
    case 10054:  // WSAECONNRESET
      return ErrorKind::ConnectionReset;
    case 1232:   // ERROR_HOST_UNREACHABLE
    case 10065:  // WSAEHOSTUNREACH
      return ErrorKind::HostUnreachable;
    case 1231:   // ERROR_NETWORK_UNREACHABLE
    case 10051:  // WSAENETUNREACH
      return ErrorKind::NetworkUnreachable;
    case 10053:  // WSAECONNABORTED
      return ErrorKind::ConnectionAborted;
    case 10057:  // WSAENOTCONN
      return ErrorKind::NotConnected;
    case 10048:  // WSAEADDRINUSE
      return ErrorKind::AddrInUse;
    case 10049:  // WSAEADDRNOTAVAIL
      return ErrorKind::AddrNotAvailable;
    case 10050:  // WSAENETDOWN
      return ErrorKind::NetworkDown;
    case 109:  // ERROR_BROKEN_PIPE
    case 232:  // ERROR_NO_DATA
      return ErrorKind::BrokenPipe;
    case 80:   // ERROR_FILE_EXISTS
    case 183:  // ERROR_ALREADY_EXISTS
      return ErrorKind::AlreadyExists;
    case 10035:  // WSAEWOULDBLOCK
      return ErrorKind::WouldBlock;
    case 267:  // ERROR_DIRECTORY
      return ErrorKind::NotADirectory;
    case 336:  // ERROR_DIRECTORY_NOT_SUPPORTED
      return ErrorKind::IsADirectory;
    case 145:  // ERROR_DIR_NOT_EMPTY
      return ErrorKind::DirectoryNotEmpty;
    case 19:  // ERROR_WRITE_PROTECT
      return ErrorKind::ReadOnlyFilesystem;
    case 1921:  // ERROR_CANT_RESOLVE_FILENAME
      return ErrorKind::FilesystemLoop;
    case 87:     // ERROR_INVALID_PARAMETER
    case 10022:  // WSAEINVAL
      return ErrorKind::InvalidInput;
    case 121:    // ERROR_SEM_TIMEOUT
    case 258:    // WAIT_TIMEOUT
    case 594:    // ERROR_DRIVER_CANCEL_TIMEOUT
    case 995:    // ERROR_OPERATION_ABORTED
    case 1053:   // ERROR_SERVICE_REQUEST_TIMEOUT
    case 1121:   // ERROR_COUNTER_TIMEOUT
    case 1460:   // ERROR_TIMEOUT
    case 5910:   // ERROR_RESOURCE_CALL_TIMED_OUT
    case 7012:   // ERROR_CTX_MODEM_RESPONSE_TIMEOUT
    case 7040:   // ERROR_CTX_CLIENT_QUERY_TIMEOUT
    case 8014:   // FRS_ERR_SYSVOL_POPULATE_TIMEOUT
    case 8226:   // ERROR_DS_TIMELIMIT_EXCEEDED
    case 9705:   // DNS_ERROR_RECORD_TIMED_OUT
    case 10060:  // WSAETIMEDOUT
    case 13805:  // ERROR_IPSEC_IKE_TIMED_OUT
    case 15402:  // ERROR_RUNLEVEL_SWITCH_TIMEOUT
    case 15403:  // ERROR_RUNLEVEL_SWITCH_AGENT_TIMEOUT
      return ErrorKind::TimedOut;
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
      return ErrorKind::StorageFull;
    case 132:  // ERROR_SEEK_ON_DEVICE
      return ErrorKind::NotSeekable;
    case 1295:   // ERROR_DISK_QUOTA_EXCEEDED
    case 10069:  // WSAEDQUOT
      return ErrorKind::FilesystemQuotaExceeded;
    case 223:  // ERROR_FILE_TOO_LARGE
      return ErrorKind::FileTooLarge;
    case 170:  // ERROR_BUSY
      return ErrorKind::ResourceBusy;
    case 1131:  // ERROR_POSSIBLE_DEADLOCK
      return ErrorKind::Deadlock;
    case 17:  // ERROR_NOT_SAME_DEVICE
      return ErrorKind::CrossesDevices;
    case 1142:  // ERROR_TOO_MANY_LINKS
      return ErrorKind::TooManyLinks;
    case 123:  // ERROR_INVALID_NAME
    case 161:  // ERROR_BAD_PATHNAME
    case 206:  // ERROR_FILENAME_EXCED_RANGE
      return ErrorKind::InvalidFilename;
    case 120:  // ERROR_CALL_NOT_IMPLEMENTED
      return ErrorKind::Unsupported;
    case 8:   // ERROR_NOT_ENOUGH_MEMORY
    case 14:  // ERROR_OUTOFMEMORY
      return ErrorKind::OutOfMemory;
    default: return ErrorKind::Uncategorized;
  }
}

}  // namespace fc
