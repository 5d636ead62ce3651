// Stand-in for the programs around the module, acting by the name it runs as:
//   module_host.exe <module path> [<export> [<number>]]
//     loads the module as its host processes do, optionally calls one export
//     (given a number, with it as its one 32-bit argument) and unloads it;
//     exits with the export's result, 0 when only loading was asked for, and
//     2 when the module or the export could not be found.
//   client_frame.exe [seconds]
//     the client's frame window: records each WM_COPYDATA it gets as
//     "WM_COPYDATA dwData=<n> cbData=<n> bytes=<hex>" (cut after 1900 bytes
//     with "..."), until WM_CLOSE or the seconds (default 60) run out.
//   any other name (tpvoun.exe): records the command line it was started with.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client_frame.h"
#include "record.h"

namespace {

int HostModule(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: module_host <module path> [<export> [<number>]]\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (module == nullptr) return 2;
  int result = 0;
  if (argc >= 3) {
    FARPROC proc = GetProcAddress(module, argv[2]);
    if (proc == nullptr) {
      FreeLibrary(module);
      return 2;
    }
    if (argc >= 4) {
      auto call = reinterpret_cast<LONG(WINAPI*)(DWORD)>(reinterpret_cast<void*>(proc));
      result = call(static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0)));
    } else {
      auto call = reinterpret_cast<LONG(WINAPI*)()>(reinterpret_cast<void*>(proc));
      result = call();
    }
  }
  FreeLibrary(module);
  return result;
}

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

int RunFrame(int argc, char** argv) {
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

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\') + 1;
  if (_stricmp(name, "module_host.exe") == 0) return HostModule(argc, argv);
  if (_stricmp(name, "client_frame.exe") == 0) return RunFrame(argc, argv);
  RecordCall(CurrentModule(), "tpvoun %s", GetCommandLineA());
  return 0;
}
