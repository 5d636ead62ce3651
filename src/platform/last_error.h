// The calling thread's last error as an HRESULT.
#pragma once

#include <windows.h>

namespace korvat {

// E_FAIL when the thread reports no error, so that a failure never reads as
// success.
inline HRESULT LastErrorAsHResult() {
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace korvat
