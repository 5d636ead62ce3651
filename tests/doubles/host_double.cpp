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
  HMODULE module = argc > 1 ? LoadLibraryA(argv[1]) : nullptr;
  if (module == nullptr) return 2;
  FARPROC proc = argc > 2 ? GetProcAddress(module, argv[2]) : nullptr;
  int result = argc > 2 && proc == nullptr ? 2 : 0;
  if (proc != nullptr && argc > 3) {
    auto call = reinterpret_cast<LONG(WINAPI*)(DWORD)>(reinterpret_cast<void*>(proc));
    result = call(static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0)));
  } else if (proc != nullptr) {
    result = reinterpret_cast<LONG(WINAPI*)()>(reinterpret_cast<void*>(proc))();
  }
  FreeLibrary(module);
  return result;
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    const unsigned char* bytes = static_cast<const unsigned char*>(data->lpData);
    std::string hex;
    for (DWORD i = 0; bytes != nullptr && i < data->cbData && i < 1900; ++i) {
      hex += {"0123456789ABCDEF"[bytes[i] >> 4], "0123456789ABCDEF"[bytes[i] & 15]};
    }
    RecordCall("WM_COPYDATA dwData=%lu cbData=%lu bytes=%s%s",
               static_cast<unsigned long>(data->dwData), static_cast<unsigned long>(data->cbData),
               hex.c_str(), data->cbData > 1900 ? "..." : "");
    return TRUE;
  }
  if (message == WM_CLOSE || message == WM_TIMER) DestroyWindow(window);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return message == WM_CLOSE || message == WM_TIMER
             ? 0
             : DefWindowProcA(window, message, wparam, lparam);
}

int RunFrame(int argc, char** argv) {
  const int seconds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 60;
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = FrameProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClientFrameWindowClass;
  if (RegisterClassA(&window_class) == 0) return 2;
  HWND window = CreateWindowExA(0, kClientFrameWindowClass, "Tapvo Meeting", WS_OVERLAPPEDWINDOW, 0,
                                0, 200, 100, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return 2;
  SetTimer(window, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\') + 1;
  if (_stricmp(name, "module_host.exe") == 0) return HostModule(argc, argv);
  if (_stricmp(name, "client_frame.exe") == 0) return RunFrame(argc, argv);
  RecordCall("tpvoun %s", GetCommandLineA());
  return 0;
}
