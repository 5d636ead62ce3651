// While the module is called, each dialog box that the calling thread shows
// (the setup failure message, the setup notice) is recorded, printed for
// korvatctl's reader when asked, and closed with OK: korvatctl, the tests and
// the benches run where nobody may see a window, and must not wait on one.
// answer-dialogs does the same for every dialog box of the desktop while a
// program it starts runs (an installer and its custom actions).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "arguments.h"

class DialogWatch {
 public:
  // Watches the windows of the thread that constructs it; one watch at a time.
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

// answer-dialogs PROGRAM [ARGUMENT...]: runs the program, answering its
// dialogs, and exits with its exit code.
int RunAnswerDialogs(const Invocation& invocation);
