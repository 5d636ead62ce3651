#include "plugin/plugin_window.h"

#include "core/module_state.h"
#include "core/resource_module.h"
#include "platform/spin_lock.h"

namespace korvat {

namespace {

// The class registration record. Its name is "ATL:" and the record's own
// address in upper-case hex, at pointer width (eight digits on 32-bit), so
// each loaded copy of the module has a class of its own.
WNDCLASSEXA g_windowClass = {};
char g_className[4 + 2 * sizeof(void*) + 1] = {};
ATOM g_classAtom = 0;
// Two threads creating the first windows at once register the class once.
SpinLock g_classLock;

void FormatClassName() {
  static const char kHex[] = "0123456789ABCDEF";
  const UINT_PTR address = reinterpret_cast<UINT_PTR>(&g_windowClass);
  char* out = g_className;
  *out++ = 'A';
  *out++ = 'T';
  *out++ = 'L';
  *out++ = ':';
  for (int shift = 8 * sizeof(void*) - 4; shift >= 0; shift -= 4) {
    *out++ = kHex[(address >> shift) & 0xF];
  }
  *out = '\0';
}

// Registers the class on the first creation in this process.
ATOM RegisterWindowClassOnce(WNDPROC window_proc) {
  ScopedLock hold(g_classLock);
  if (g_classAtom != 0) return g_classAtom;
  FormatClassName();
  g_windowClass.cbSize = sizeof(g_windowClass);
  g_windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  g_windowClass.lpfnWndProc = window_proc;
  g_windowClass.hInstance = ModuleInstance;
  g_windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  g_windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  g_windowClass.lpszClassName = g_className;
  g_classAtom = RegisterClassExA(&g_windowClass);
  return g_classAtom;
}

}  // namespace

const PluginWindow::MessageEntry PluginWindow::kMessageTable[] = {
    {WM_CREATE, &PluginWindow::OnDefault},  {WM_DESTROY, &PluginWindow::OnDefault},
    {WM_MOVE, &PluginWindow::OnIgnore},     {WM_SIZE, &PluginWindow::OnIgnore},
    {WM_SETFOCUS, &PluginWindow::OnIgnore},
};

PluginWindow::PluginWindow() { ReloadResourceModule(); }

PluginWindow::~PluginWindow() {
  // A window that outlived its object (DestroyWindow refused) must not reach it.
  if (m_hWnd != nullptr) SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  FreeResourceModule();
}

WNDPROC PluginWindow::GetWindowProc() { return &PluginWindow::WindowProc; }

void PluginWindow::OnFinalMessage(HWND) {}

LRESULT PluginWindow::OnDefault(UINT message, WPARAM wParam, LPARAM lParam) {
  DefWindowProcA(m_hWnd, message, wParam, lParam);
  return 0;
}

LRESULT PluginWindow::OnIgnore(UINT, WPARAM, LPARAM) { return 0; }

BOOL PluginWindow::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                        LRESULT& result) {
  for (const MessageEntry& entry : kMessageTable) {
    if (entry.message == message) {
      result = (this->*entry.handler)(message, wParam, lParam);
      return TRUE;
    }
  }
  return FALSE;
}

int PluginWindow::Create(HWND parent) {
  m_hParent = parent;
  GetClientRect(parent, &m_rcParent);

  const ATOM window_class = RegisterWindowClassOnce(GetWindowProc());
  if (window_class == 0) return 0;

  // The object rides in the creation data, so that the window procedure
  // binds each window to its own object, whichever thread creates it.
  HWND created =
      CreateWindowExA(0, MAKEINTATOM(window_class), nullptr,
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, m_rcParent.left,
                      m_rcParent.top, m_rcParent.right - m_rcParent.left,
                      m_rcParent.bottom - m_rcParent.top, m_hParent, nullptr, ModuleInstance, this);
  // The window procedure has set m_hWnd already; a window destroyed during
  // its creation has cleared it again.
  if (created == nullptr) m_hWnd = nullptr;
  return m_hWnd != nullptr ? 1 : 0;
}

void PluginWindow::DestroyOnItsThread() {
  HWND window = m_hWnd;
  if (window == nullptr) return;
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    DestroyWindow(window);
    return;
  }
  // Only the window's own thread can destroy it: DestroyWindow fails on any
  // other, which would leave a window whose procedure outlives its object
  // and, once the module is gone, runs unloaded code. WM_CLOSE, whose default
  // handling destroys the window, is sent to that thread; SendMessage returns
  // when the window is gone, so the caller deletes the object only after its
  // last message. The window's thread must go on handling messages meanwhile,
  // as it must for the host notifications; a thread that has ended took its
  // windows with it, and the send then fails at once.
  SendMessageA(window, WM_CLOSE, 0, 0);
}

void PluginWindow::UnregisterWindowClass() {
  ScopedLock hold(g_classLock);
  if (g_classAtom == 0) return;
  if (UnregisterClassA(MAKEINTATOM(g_classAtom), ModuleInstance)) g_classAtom = 0;
}

LRESULT CALLBACK PluginWindow::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<PluginWindow*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (self == nullptr && message == WM_NCCREATE) {
    self = static_cast<PluginWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    if (self != nullptr) {
      self->m_hWnd = hWnd;
      SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  if (self == nullptr) return DefWindowProcA(hWnd, message, wParam, lParam);

  if (message == WM_NCDESTROY) {
    LRESULT result = DefWindowProcA(hWnd, message, wParam, lParam);
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
    self->OnFinalMessage(hWnd);
    self->m_hWnd = nullptr;  // the last touch of the object
    return result;
  }
  LRESULT result = 0;
  if (self->ProcessWindowMessage(hWnd, message, wParam, lParam, result)) return result;
  return DefWindowProcA(hWnd, message, wParam, lParam);
}

}  // namespace korvat
