// The companion control module zrtpctl.dll, loaded into a host window for
// the time between InitControl and ExitControl.
#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

namespace korvat {

class ControlLoader {
 public:
  ControlLoader() = default;
  virtual ~ControlLoader();

  ControlLoader(const ControlLoader&) = delete;
  ControlLoader& operator=(const ControlLoader&) = delete;

  // Loads the control module at `path` and creates its instance in `parent`.
  // Returns 1 on success; 0 leaves the loader empty.
  int Load(HWND parent, const char* path);
  // Destroys the instance and frees the control module.
  void Unload();

 private:
  // The control module's exports, with the standard calling convention.
  // Instance values are opaque to this module and may be pointers.
  using PDNewInstanceFn = INT_PTR(WINAPI*)(HWND parent, INT_PTR reserved);
  using ZRNewInstanceFn = INT_PTR(WINAPI*)(HWND parent);
  using ZRDeleteInstanceFn = void(WINAPI*)(INT_PTR instance);

  ScopedLibrary m_hModule;
  INT_PTR m_hInstance = 0;
  FARPROC m_pfnNewInstance = nullptr;
  ZRDeleteInstanceFn m_pfnDeleteInstance = nullptr;
};

}  // namespace korvat
