// While korvatctl calls into the module, a dialog box that the calling thread
// shows (the setup failure message, the setup notice) is printed and closed
// with OK: korvatctl runs where nobody may see a window, and must not wait
// on one.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/scoped_handle.h"

class DialogWatch {
 public:
  // Watches the windows of the thread that constructs it.
  DialogWatch();
  ~DialogWatch();
  DialogWatch(const DialogWatch&) = delete;
  DialogWatch& operator=(const DialogWatch&) = delete;

 private:
  static DWORD WINAPI Run(void* self);
  void CloseDialogs();

  DWORD m_ownerThread;
  korvat::ScopedHandle m_stop;
  korvat::ScopedHandle m_thread;
  std::vector<HWND> m_closed;
};
