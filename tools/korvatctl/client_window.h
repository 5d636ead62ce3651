// The stand-in for the running client: its frame window, a top-level window
// of the client's class on a thread of korvatctl, which prints each page it
// is handed with WM_COPYDATA.
#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

class ClientWindow {
 public:
  ClientWindow() = default;
  // Closes the window and waits for its thread.
  ~ClientWindow();
  ClientWindow(const ClientWindow&) = delete;
  ClientWindow& operator=(const ClientWindow&) = delete;

  // Starts the thread and waits until the window is up; false when it
  // could not be made.
  bool Start();

 private:
  static DWORD WINAPI Run(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  korvat::ScopedHandle m_thread;
  korvat::ScopedHandle m_ready;
  HWND m_hWnd = nullptr;
};
