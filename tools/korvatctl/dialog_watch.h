// While the module is called, each dialog box that the calling thread shows
// (the setup failure message, the setup notice) is recorded, printed for
// korvatctl's reader when asked, and closed with OK: korvatctl, the tests and
// the benches run where nobody may see a window, and must not wait on one.
// One watch at a time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DialogWatch {
 public:
  // Watches the windows of the thread that constructs it.
  explicit DialogWatch(bool print = false);
  ~DialogWatch();
  DialogWatch(const DialogWatch&) = delete;
  DialogWatch& operator=(const DialogWatch&) = delete;

  struct Seen {
    std::string caption;
    std::string text;  // the texts of its static controls, joined by spaces
    HWND owner;
  };
  const std::vector<Seen>& seen() const { return m_seen; }

 private:
  static LRESULT CALLBACK AfterCall(int code, WPARAM wparam, LPARAM lparam);

  const bool m_print;
  HHOOK m_hook;
  std::vector<Seen> m_seen;
};
