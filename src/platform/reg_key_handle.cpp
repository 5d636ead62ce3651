#include "platform/reg_key_handle.h"

#include <cstring>

namespace korvat {

LONG RegKeyHandle::Replace(HKEY key) {
  LONG status = Close();
  Reset(key);
  return status;
}

LONG RegKeyHandle::Open(HKEY parent, const char* sub_key, REGSAM access) {
  HKEY key = nullptr;
  LONG status = RegOpenKeyExA(parent, sub_key, 0, access, &key);
  if (status != ERROR_SUCCESS) return status;
  return Replace(key);
}

LONG RegKeyHandle::Create(HKEY parent, const char* sub_key, char* key_class, DWORD options,
                          REGSAM access, SECURITY_ATTRIBUTES* security, DWORD* disposition) {
  HKEY key = nullptr;
  DWORD created = 0;
  LONG status =
      RegCreateKeyExA(parent, sub_key, 0, key_class, options, access, security, &key, &created);
  if (disposition != nullptr) *disposition = created;
  if (status != ERROR_SUCCESS) return status;
  return Replace(key);
}

LONG RegKeyHandle::Close() { return *this ? RegCloseKey(Release()) : ERROR_SUCCESS; }

LONG RegKeyHandle::SetString(const char* data, const char* value_name) {
  return RegSetValueExA(Get(), value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                        static_cast<DWORD>(std::strlen(data) + 1));
}

LONG RegKeyHandle::SetSubKeyString(const char* sub_key, const char* data, const char* value_name) {
  RegKeyHandle child;
  LONG status = child.Create(Get(), sub_key, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS);
  if (status != ERROR_SUCCESS) return status;
  return child.SetString(data, value_name);
}

LONG RegKeyHandle::DeleteSubTree(const char* sub_key) {
  RegKeyHandle child;
  LONG status = child.Open(Get(), sub_key, KEY_READ | KEY_WRITE);
  if (status != ERROR_SUCCESS) return status;

  // Always index 0: each sub-key found is deleted before the next lookup.
  for (;;) {
    char name[256];
    DWORD name_size = sizeof(name);
    FILETIME written;
    if (RegEnumKeyExA(child.Get(), 0, name, &name_size, nullptr, nullptr, nullptr, &written) !=
        ERROR_SUCCESS) {
      break;
    }
    status = child.DeleteSubTree(name);
    if (status != ERROR_SUCCESS) return status;
  }
  child.Close();
  return RegDeleteKeyA(Get(), sub_key);
}

}  // namespace korvat
