// The client's frame window: a top-level window of the client's class that
// records each WM_COPYDATA it gets as
//   "WM_COPYDATA dwData=<n> cbData=<n> bytes=<hex>"
// (the bytes in hex, cut after 1900 with "..."). It runs until WM_CLOSE or
// for the seconds given on its command line (default 60):
//   client_frame.exe [seconds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "client_frame.h"
#include "record.h"

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr DWORD kMaxRecordedBytes = 1900;

void RecordCopyData(const COPYDATASTRUCT* data) {
  std::string hex;
  const unsigned char* bytes = static_cast<const unsigned char*>(data->lpData);
  DWORD shown = data->cbData < kMaxRecordedBytes ? data->cbData : kMaxRecordedBytes;
  for (DWORD i = 0; bytes != nullptr && i < shown; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof(pair), "%02X", bytes[i]);
    hex += pair;
  }
  if (shown < data->cbData) hex += "...";
  RecordCall(CurrentModule(), "WM_COPYDATA dwData=%lu cbData=%lu bytes=%s",
             static_cast<unsigned long>(data->dwData), static_cast<unsigned long>(data->cbData),
             hex.c_str());
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COPYDATA:
      RecordCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
      return TRUE;
    case WM_TIMER:
      if (wparam == kLifetimeTimer) DestroyWindow(window);
      return 0;
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

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  if (seconds <= 0) seconds = 60;
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = FrameProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClientFrameWindowClass;
  if (RegisterClassA(&window_class) == 0) return 2;
  HWND window = CreateWindowExA(0, kClientFrameWindowClass, "Tapvo Meeting", WS_OVERLAPPEDWINDOW, 0,
                                0, 200, 100, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return 2;
  SetTimer(window, kLifetimeTimer, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
