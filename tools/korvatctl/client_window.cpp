#include "client_window.h"

#include <cstdio>
#include <cstring>

#include "resources/module_ids.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

constexpr DWORD kStartTimeoutMs = 10000;

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

std::vector<ClientWindow::Delivery> ClientWindow::deliveries() const {
  ScopedLock hold(m_lock);
  return m_deliveries;
}

void ClientWindow::Receive(const COPYDATASTRUCT* data) {
  const char* bytes = static_cast<const char*>(data->lpData);
  Delivery delivery = {data->dwData, bytes != nullptr ? std::string(bytes, data->cbData) : ""};
  if (m_print) {
    const size_t end = delivery.bytes.find('\0');
    std::printf("client: received %s (WM_COPYDATA dwData=%lu cbData=%lu%s)\n",
                delivery.bytes.substr(0, end).c_str(), static_cast<unsigned long>(data->dwData),
                static_cast<unsigned long>(data->cbData),
                end == std::string::npos ? ", no terminating zero" : "");
    std::fflush(stdout);
  }
  ScopedLock hold(m_lock);
  m_deliveries.push_back(std::move(delivery));
}

DWORD WINAPI ClientWindow::Run(void* self) {
  ClientWindow* client = static_cast<ClientWindow*>(self);
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClientFrameClass;
  if (RegisterClassA(&window_class) != 0) {
    client->m_hWnd = CreateWindowExA(0, kClientFrameClass, "Tapvo Meeting", WS_OVERLAPPEDWINDOW, 0,
                                     0, 200, 100, nullptr, nullptr, window_class.hInstance, client);
  }
  SetEvent(client->m_ready.Get());
  if (client->m_hWnd == nullptr) return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

LRESULT CALLBACK ClientWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrA(
          window, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams));
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_COPYDATA:
      reinterpret_cast<ClientWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA))
          ->Receive(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
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
