#include "plugin/host_notify.h"

#include "core/module_state.h"

namespace korvat {

bool IsHostWindow(HWND window) { return IsWindow(window) != FALSE; }

int NotifyHost(WPARAM wParam, LPARAM lParam) {
  if (g_hHostWnd == nullptr) return 0;
  // Sent, not posted: the host sees the step's end before the step returns.
  if (IsHostWindow(g_hHostWnd)) SendMessageA(g_hHostWnd, g_ZRNotifyMsg, wParam, lParam);
  return 1;
}

}  // namespace korvat
