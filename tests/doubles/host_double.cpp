// Stand-in for the programs around the module, acting by the name it runs as:
//   module_host.exe <module> [<export> [<number>]]: loads the module, calls the
//     export (with the number as its argument) and exits with its result; 2
//     when the module or the export is missing.
//   any other name (tpvoun.exe): records its command line.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\') + 1;
  if (_stricmp(name, "module_host.exe") == 0) return HostModule(argc, argv);
  RecordCall("tpvoun %s", GetCommandLineA());
  return 0;
}
