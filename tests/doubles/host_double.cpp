// Stand-in for the programs around the module, acting by the name it runs as:
//   module_host.exe <module> [<export> [<number>]]: loads the module, calls the
//     export (with the number as its argument) and exits with its result; 2
//     when the module or the export is missing.
//   client_frame.exe [seconds]: the client's frame window; records each
//     WM_COPYDATA (bytes in hex, cut after 1900) until closed or timed out.
//   any other name (tpvoun.exe): records its command line.
#include <windows.h>

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
