#include "core/module_state.h"

#include <mbstring.h>

#include <cstring>

#include "platform/ansi_text.h"

namespace korvat {

HMODULE ModuleInstance = nullptr;
UINT g_ZRNotifyMsg = 0;
HWND g_hHostWnd = nullptr;
HWND g_hPluginParent = nullptr;

const char* FindLastBackslash(const char* path) {
  return reinterpret_cast<const char*>(
      _mbsrchr(reinterpret_cast<const unsigned char*>(path), '\\'));
}

bool AppendBackslash(char* path, size_t size) {
  const size_t length = std::strlen(path);
  if (length > 0 && FindLastBackslash(path) == path + length - 1) return true;
  if (length + 2 > size) return false;
  path[length] = '\\';
  path[length + 1] = '\0';
  return true;
}

bool GetModulePath(char* path) {
  // A name of MAX_PATH characters or more is cut, and on some systems left
  // without its terminating zero.
  const DWORD length = GetModuleFileNameA(ModuleInstance, path, MAX_PATH);
  if (length != 0 && length < MAX_PATH) return true;
  path[0] = '\0';
  return false;
}

void GetModuleDirectory(char* dir) {
  char path[MAX_PATH];
  GetModulePathAndDirectory(path, dir);
}

bool GetModulePathAndDirectory(char* path, char* dir) {
  std::memset(dir, 0, MAX_PATH);
  if (!GetModulePath(path)) return false;
  const char* slash = FindLastBackslash(path);
  if (slash == nullptr) return false;
  std::memcpy(dir, path, static_cast<size_t>(slash - path));
  return true;
}

bool JoinPath(const char* dir, const char* file_name, char* out, size_t out_size) {
  if (FormatText(out, out_size, "%s\\%s", dir, file_name) < 0) {
    if (out_size > 0) out[0] = '\0';
    return false;
  }
  return true;
}

bool GetSiblingPath(const char* file_name, char* out, size_t out_size) {
  char dir[MAX_PATH];
  GetModuleDirectory(dir);
  if (dir[0] == '\0') {
    if (out_size > 0) out[0] = '\0';
    return false;
  }
  return JoinPath(dir, file_name, out, out_size);
}

}  // namespace korvat
