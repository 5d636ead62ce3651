#include "client_window.h"

#include <cstdio>
#include <string>

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

// The window class by which the module finds the client.
constexpr char kClientFrameClass[] = "Nvx_FrameWnd_Tapvo_13D821D2_807A_40C9_AA97_220F9D84041F";
constexpr DWORD kStartTimeoutMs = 10000;

void PrintPage(const COPYDATASTRUCT* data) {
  const char* bytes = static_cast<const char*>(data->lpData);
  std::string page;
  bool terminated = false;
  for (DWORD i = 0; bytes != nullptr && i < data->cbData; ++i) {
    if (bytes[i] == '\0') {
      terminated = true;
      break;
    }
    page += bytes[i];
  }
  std::printf("client: received %s (WM_COPYDATA dwData=%lu cbData=%lu%s)\n", page.c_str(),
              static_cast<unsigned long>(data->dwData), static_cast<unsigned long>(data->cbData),
              terminated ? "" : ", no terminating zero");
  std::fflush(stdout);
}

}  // namespace

ClientWindow::~ClientWindow() {
  if (m_thread) {
    if (m_hWnd != nullptr) PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    WaitForSingleObject(m_thread.Get(), INFINITE);
    UnregisterClassA(kClientFrameClass, GetModuleHandleA(nullptr));
  }
}

bool ClientWindow::Start() {
  m_ready.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!m_ready) return false;
  m_thread.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
  if (!m_thread) return false;
  HANDLE waits[] = {m_ready.Get(), m_thread.Get()};
  WaitForMultipleObjects(2, waits, FALSE, kStartTimeoutMs);
  return m_hWnd != nullptr;
}

DWORD WINAPI ClientWindow::Run(void* self) {
  ClientWindow* client = static_cast<ClientWindow*>(self);
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClientFrameClass;
  if (RegisterClassA(&window_class) != 0) {
    client->m_hWnd =
        CreateWindowExA(0, kClientFrameClass, "Tapvo Meeting", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                        nullptr, nullptr, window_class.hInstance, nullptr);
  }
  SetEvent(client->m_ready.Get());
  if (client->m_hWnd == nullptr) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

LRESULT CALLBACK ClientWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COPYDATA:
      PrintPage(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}
