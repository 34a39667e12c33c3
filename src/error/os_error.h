#ifndef FC_ERROR_OS_ERROR_H_
#define FC_ERROR_OS_ERROR_H_

#include <cstdint>
#include <string>

#include "error/error_kind.h"

namespace fc {

/// The kind of a platform error code (errno on POSIX, GetLastError and
/// WSAGetLastError codes on Windows). Pure; never fails.
ErrorKind kind_from_os_code(std::int32_t code);

/// The platform's message text for a code, trailing white space removed, as
/// valid UTF-8. Never fails: without a usable platform text it returns a
/// fallback text.
std::string os_error_message(std::int32_t code);

}  // namespace fc

#endif  // FC_ERROR_OS_ERROR_H_
