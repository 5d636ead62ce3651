// A process that loads the module, as any of the module's host processes
// does, optionally calls one of its exports, and unloads it again:
//   module_host.exe <module path> [<export> [<number>]]
// An export given a number is called with it as its one 32-bit argument,
// one given none without arguments. The exit code is the export's result,
// 0 when only loading was asked for, and 2 when the module or the export
// could not be found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
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
