// While korvatctl calls into the module, a dialog box that the calling thread
// shows (the setup failure message, the setup notice) is printed and closed
// with OK: korvatctl runs where nobody may see a window, and must not wait
// on one. answer-dialogs does the same for every dialog box of the desktop
// while a program it starts runs (an installer and its custom actions).
#pragma once

#include <windows.h>

#include <vector>

#include "arguments.h"
#include "platform/scoped_handle.h"

class DialogWatch {
 public:
  // Watches the windows of `thread`; 0 watches every top-level window.
  explicit DialogWatch(DWORD thread = GetCurrentThreadId());
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

// answer-dialogs PROGRAM [ARGUMENT...]: runs the program, answering its
// dialogs, and exits with its exit code.
int RunAnswerDialogs(const Invocation& invocation);
