#include "registration/win32_key_store.h"

#include <oleauto.h>

#include <vector>

#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"

namespace korvat {

namespace {

HKEY AsHkey(RegistryKeyStore::Key key) { return static_cast<HKEY>(key); }

}  // namespace

RegistryKeyStore::Key Win32KeyStore::RootKey(ScriptRoot root) {
  switch (root) {
    case ScriptRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case ScriptRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case ScriptRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case ScriptRoot::kUsers:
      return HKEY_USERS;
    case ScriptRoot::kPerformanceData:
      return HKEY_PERFORMANCE_DATA;
    case ScriptRoot::kDynData:
      return HKEY_DYN_DATA;
    case ScriptRoot::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
  }
  return nullptr;
}

long Win32KeyStore::OpenKey(Key parent, const char* name, Access access, Key* key) {
  RegKeyHandle opened;
  const REGSAM rights = access == Access::kAll         ? KEY_ALL_ACCESS
                        : access == Access::kReadWrite ? KEY_READ | KEY_WRITE
                                                       : KEY_READ;
  LONG status = opened.Open(AsHkey(parent), name, rights);
  if (status == ERROR_SUCCESS) *key = opened.Release();
  return status;
}

long Win32KeyStore::CreateKey(Key parent, const char* name, Key* key) {
  RegKeyHandle created;
  LONG status =
      created.Create(AsHkey(parent), name, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS);
  if (status == ERROR_SUCCESS) *key = created.Release();
  return status;
}

long Win32KeyStore::CloseKey(Key key) {
  RegKeyHandle held(AsHkey(key));
  return held.Close();
}

long Win32KeyStore::SetValue(Key key, const char* name, uint32_t type, const void* data,
                             uint32_t size) {
  return RegSetValueExA(AsHkey(key), name, 0, type, static_cast<const BYTE*>(data), size);
}

long Win32KeyStore::DeleteValue(Key key, const char* name) {
  return RegDeleteValueA(AsHkey(key), name);
}

long Win32KeyStore::DeleteKey(Key parent, const char* name) {
  return RegDeleteKeyA(AsHkey(parent), name);
}

long Win32KeyStore::DeleteSubTree(Key parent, const char* name) {
  // The parent belongs to the interpreter: point a holder at it, then let go.
  RegKeyHandle held(AsHkey(parent));
  LONG status = held.DeleteSubTree(name);
  static_cast<void>(held.Release());
  return status;
}

bool Win32KeyStore::HasSubKeys(Key key) {
  DWORD sub_keys = 0;
  if (RegQueryInfoKeyA(AsHkey(key), nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return true;  // unknown: keep the key
  }
  return sub_keys != 0;
}

bool Win32KeyStore::IsLeadByte(unsigned char c) { return IsSystemLeadByte(c); }

uint32_t Win32KeyStore::ParseDword(const char* text) {
  std::vector<wchar_t> wide = WidenAnsi(text);
  if (wide.empty()) return 0;
  ULONG number = 0;
  if (FAILED(VarUI4FromStr(wide.data(), 0, 0, &number))) number = 0;
  return number;
}

}  // namespace korvat
