#include "registration/registry_ops.h"

#include <cstring>

#include "core/trace_log.h"
#include "platform/reg_key_handle.h"

namespace korvat {

namespace {

void DeleteSingleKey(HKEY root, const char* parent_key, const char* section_key) {
  // Without a name the platform call would aim at the parent itself.
  if (section_key == nullptr) return;
  RegKeyHandle parent;
  if (parent.Open(root, parent_key, KEY_READ) != ERROR_SUCCESS) return;
  RegDeleteKeyA(parent.Get(), section_key);
}

void TraceUnRegister(const char* parent_key, const char* section_key) {
  g_TraceLog.Write("UnRegisterKey() parent_key = %s,section_key = %s",
                   parent_key != nullptr ? parent_key : "NULL",
                   section_key != nullptr ? section_key : "NULL");
}

void SetStringUnder(HKEY root, const char* key_path, const char* value_name, const char* data) {
  RegKeyHandle key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(root, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                      nullptr, key.Put(), &disposition) != ERROR_SUCCESS ||
      !key) {
    return;
  }
  key.SetString(data, value_name);
}

}  // namespace

void UnRegisterKey(const char* parent_key, const char* section_key) {
  TraceUnRegister(parent_key, section_key);
  DeleteSingleKey(HKEY_LOCAL_MACHINE, parent_key, section_key);
  DeleteSingleKey(HKEY_CURRENT_USER, parent_key, section_key);
}

void UnRegisterUserKey(const char* parent_key, const char* section_key) {
  TraceUnRegister(parent_key, section_key);
  DeleteSingleKey(HKEY_CURRENT_USER, parent_key, section_key);
}

void SetRegString(const char* key_path, const char* value_name, const char* data) {
  if (data == nullptr) return;
  SetStringUnder(HKEY_LOCAL_MACHINE, key_path, value_name, data);
  SetStringUnder(HKEY_CURRENT_USER, key_path, value_name, data);
}

void SetUserRegString(const char* key_path, const char* value_name, const char* data) {
  if (data == nullptr || value_name == nullptr) return;
  SetStringUnder(HKEY_CURRENT_USER, key_path, value_name, data);
}

bool IsWindowsXP() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes
  if (!GetVersionExA(&info)) return false;
  return info.dwMajorVersion == 5 && info.dwMinorVersion == 1;
}

}  // namespace korvat
