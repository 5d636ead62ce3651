// The stand-in for the running client: its frame window, a top-level window
// of the client's class on a thread of its own, which records (and, for
// korvatctl, prints) each page it is handed with WM_COPYDATA. korvatctl, the
// tests and the benches use this one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/scoped_handle.h"
#include "platform/scoped_lock.h"

class ClientWindow {
 public:
  explicit ClientWindow(bool print = false) : m_print(print) {}
  // Closes the window and waits for its thread.
  ~ClientWindow();
  ClientWindow(const ClientWindow&) = delete;
  ClientWindow& operator=(const ClientWindow&) = delete;

  // Starts the thread and waits until the window is up; false when it
  // could not be made.
  bool Start();

  // One WM_COPYDATA: its dwData and its cbData bytes.
  struct Delivery {
    ULONG_PTR data_word;
    std::string bytes;
  };
  std::vector<Delivery> deliveries() const;

 private:
  static DWORD WINAPI Run(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Receive(const COPYDATASTRUCT* data);

  const bool m_print;
  korvat::ScopedHandle m_thread;
  korvat::ScopedHandle m_ready;
  HWND m_hWnd = nullptr;
  mutable korvat::CriticalSection m_lock;
  std::vector<Delivery> m_deliveries;
};
