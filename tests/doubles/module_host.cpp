// A process that loads the module and unloads it again, as any of the
// module's host processes does: module_host.exe <path of the module>.
// Exit code 0 when the module loaded, 2 when it did not.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: module_host <module path>\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (module == nullptr) return 2;
  FreeLibrary(module);
  return 0;
}
