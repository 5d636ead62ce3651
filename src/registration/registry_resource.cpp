#include "registration/registry_resource.h"

#include <cstring>
#include <vector>

#include "core/module_state.h"
#include "platform/last_error.h"
#include "platform/scoped_handle.h"
#include "registration/registry_script.h"
#include "registration/win32_key_store.h"

namespace korvat {

namespace {

// `path` with every single quote doubled, into `out` (2 * MAX_PATH bytes).
void DoubleSingleQuotes(const char* path, char* out) {
  for (; *path != '\0'; ++path) {
    *out++ = *path;
    if (*path == '\'') *out++ = '\'';
  }
  *out = '\0';
}

}  // namespace

HRESULT RunRegistryResource(UINT id, bool do_register) {
  char path[MAX_PATH];
  if (!GetModulePath(path)) return LastErrorAsHResult();
  char module[2 * MAX_PATH];
  DoubleSingleQuotes(path, module);

  ScopedLibrary file(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!file) return LastErrorAsHResult();
  HRSRC found = FindResourceA(file.Get(), MAKEINTRESOURCEA(id), "REGISTRY");
  if (found == nullptr) return LastErrorAsHResult();
  HGLOBAL loaded = LoadResource(file.Get(), found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return LastErrorAsHResult();
  DWORD size = SizeofResource(file.Get(), found);

  // The resource need not end in a zero byte: run a terminated copy.
  std::vector<char> text(size + 1);
  std::memcpy(text.data(), data, size);

  Win32KeyStore store;
  RegistryScript script(&store);
  HRESULT result = script.AddReplacement("Module", module);
  if (SUCCEEDED(result)) result = script.Run(text.data(), do_register);
  return result;
}

}  // namespace korvat
