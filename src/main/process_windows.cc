#include <windows.h>

#include "main/process.h"

namespace fc {
namespace {

// A standard handle value that names nothing in this process (the parent
// passed one it never let us inherit) could be handed out again, to the
// socket: the progress lines would then go into the connection. Such a
// handle is dropped, so the stream counts as missing.
void drop_if_dangling(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD flags = 0;
  // A console handle of older systems is no kernel handle but has a type.
  if (GetFileType(handle) == FILE_TYPE_UNKNOWN && !GetHandleInformation(handle, &flags)) {
    SetStdHandle(which, nullptr);
  }
}

}  // namespace

void prepare_process() {
  drop_if_dangling(STD_INPUT_HANDLE);
  drop_if_dangling(STD_OUTPUT_HANDLE);
  drop_if_dangling(STD_ERROR_HANDLE);
}

}  // namespace fc
