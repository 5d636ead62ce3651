// The plug-in window: an empty child window that ZRNewInstance places over
// the client area of the host's window. The object is what the host holds as
// its plug-in instance.
#pragma once

#include <windows.h>

namespace korvat {

class PluginWindow {
 public:
  // Loads the resource module afresh for the life of the instance.
  PluginWindow();
  virtual ~PluginWindow();

  PluginWindow(const PluginWindow&) = delete;
  PluginWindow& operator=(const PluginWindow&) = delete;

  // Dispatches `message` through the message table; true when handled, with
  // the answer in `result`.
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result);
  virtual WNDPROC GetWindowProc();
  // Called after the window's last message; the object outlives its window.
  virtual void OnFinalMessage(HWND hWnd);

  // Creates the window as a child of `parent`, covering its client area as
  // it is now. Returns 1 when the window exists.
  int Create(HWND parent);

  // Destroys the window, if it still exists, on the thread that owns it, and
  // returns once it is gone.
  void DestroyOnItsThread();

  // Removes the class when the module is unloaded.
  static void UnregisterWindowClass();

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT OnDefault(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnIgnore(UINT message, WPARAM wParam, LPARAM lParam);

  struct MessageEntry {
    UINT message;
    LRESULT (PluginWindow::*handler)(UINT message, WPARAM wParam, LPARAM lParam);
  };
  static const MessageEntry kMessageTable[];

  HWND m_hWnd = nullptr;
  HWND m_hParent = nullptr;
  RECT m_rcParent = {};
};

}  // namespace korvat
