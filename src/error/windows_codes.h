#ifndef FC_ERROR_WINDOWS_CODES_H_
#define FC_ERROR_WINDOWS_CODES_H_

#include <cstdint>

#include "error/error_kind.h"

namespace fc {

/// The kind of a Windows error code (GetLastError, WSAGetLastError). The code
/// is looked up as the full signed value: negative codes, codes with bit 28
/// set and every code not in the table are Uncategorized. Pure, so it is
/// built and tested on every platform.
ErrorKind kind_from_windows_code(std::int32_t code);

}  // namespace fc

#endif  // FC_ERROR_WINDOWS_CODES_H_
