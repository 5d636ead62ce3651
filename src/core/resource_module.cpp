#include "core/resource_module.h"

#include <cstring>

#include "core/module_state.h"

namespace korvat {

HMODULE ResourceModule = nullptr;
int ResourceModuleLoaded = 0;
char ResourceModulePath[MAX_PATH] = {};

void UseResourceLibrary(const char* path) {
  HMODULE library = path[0] != '\0' ? LoadLibraryA(path) : nullptr;
  if (library != nullptr) {
    ResourceModule = library;
    ResourceModuleLoaded = 1;
  } else {
    // The module carries its own copies of the dialog, the icons and the
    // strings 100, 101, 103 and 104.
    ResourceModule = ModuleInstance;
    ResourceModuleLoaded = 0;
  }
}

void ReloadResourceModule() {
  // Without a module directory the path stays empty and the module's own
  // resources serve.
  char path[MAX_PATH] = {};
  GetSiblingPath(kResourceModuleFile, path, sizeof(path));
  std::memset(ResourceModulePath, 0, sizeof(ResourceModulePath));
  std::memcpy(ResourceModulePath, path, sizeof(path));
  UseResourceLibrary(path);
}

void LoadResourceModule() {
  if (ResourceModule != nullptr) return;
  ReloadResourceModule();
}

void FreeResourceModule() {
  if (ResourceModuleLoaded == 1 && ResourceModule != nullptr) {
    FreeLibrary(ResourceModule);
    ResourceModule = nullptr;
    ResourceModuleLoaded = 0;
  }
}

int LoadResourceString(UINT id, char* buffer, int size) {
  std::memset(buffer, 0, static_cast<size_t>(size));
  if (ResourceModule == nullptr) return 0;
  int length = LoadStringA(ResourceModule, id, buffer, size);
  if (length <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  return length;
}

}  // namespace korvat
