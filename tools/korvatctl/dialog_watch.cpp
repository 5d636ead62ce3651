#include "dialog_watch.h"

#include <cstdio>

namespace {

DialogWatch* g_watch = nullptr;

// The texts of the dialog's static controls, joined by spaces.
BOOL CALLBACK CollectText(HWND child, LPARAM text) {
  char class_name[16] = {};
  GetClassNameA(child, class_name, sizeof(class_name));
  if (lstrcmpiA(class_name, "Static") != 0) return TRUE;
  char line[1024] = {};
  GetWindowTextA(child, line, sizeof(line));
  if (line[0] == '\0') return TRUE;
  std::string& joined = *reinterpret_cast<std::string*>(text);
  joined += joined.empty() ? "" : " ";
  joined += line;
  return TRUE;
}

}  // namespace

DialogWatch::DialogWatch(bool print)
    : m_print(print),
      m_hook(SetWindowsHookExA(WH_CALLWNDPROCRET, AfterCall, nullptr, GetCurrentThreadId())) {
  g_watch = this;
}

DialogWatch::~DialogWatch() {
  if (m_hook != nullptr) UnhookWindowsHookEx(m_hook);
  g_watch = nullptr;
}

// After the dialog's own WM_INITDIALOG: its texts are set by then.
LRESULT CALLBACK DialogWatch::AfterCall(int code, WPARAM wparam, LPARAM lparam) {
  const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION && call->message == WM_INITDIALOG && g_watch != nullptr) {
    char caption[512] = {};
    GetWindowTextA(call->hwnd, caption, sizeof(caption));
    Seen seen = {caption, "", GetWindow(call->hwnd, GW_OWNER)};
    EnumChildWindows(call->hwnd, CollectText, reinterpret_cast<LPARAM>(&seen.text));
    if (g_watch->m_print) {
      std::printf("dialog \"%s\": %s (closed by korvatctl)\n", caption, seen.text.c_str());
      std::fflush(stdout);
    }
    g_watch->m_seen.push_back(seen);
    PostMessageA(call->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}
