#include "installation.h"

#include <cstdio>

#include "platform/scoped_handle.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

bool ReadValue(HKEY root, const std::string& path, const char* name, RegistryValue* value) {
  ReadKey key(root, path);
  DWORD size = 0;
  if (key.Get() == nullptr ||
      RegQueryValueExA(key.Get(), name, nullptr, &value->type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  std::string data(size + 1, '\0');  // never empty, so that data() points somewhere
  if (RegQueryValueExA(key.Get(), name, nullptr, &value->type, reinterpret_cast<BYTE*>(&data[0]),
                       &size) != ERROR_SUCCESS) {
    return false;
  }
  value->name = name != nullptr ? name : "";
  value->data = data.substr(0, size);
  return true;
}

KeyContents ReadKeyContents(HKEY root, const std::string& path) {
  KeyContents contents;
  ReadKey key(root, path);
  if (key.Get() == nullptr) return contents;
  contents.present = true;
  DWORD sub_keys = 0, longest_sub_key = 0, values = 0, longest_name = 0, longest_data = 0;
  RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &sub_keys, &longest_sub_key, nullptr,
                   &values, &longest_name, &longest_data, nullptr, nullptr);
  std::vector<char> name(longest_name + longest_sub_key + 2);
  std::vector<BYTE> data(longest_data + 1);
  for (DWORD i = 0; i < values; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>(data.size());
    RegistryValue value;
    if (RegEnumValueA(key.Get(), i, name.data(), &name_size, nullptr, &value.type, data.data(),
                      &data_size) == ERROR_SUCCESS) {
      value.name.assign(name.data(), name_size);
      value.data.assign(reinterpret_cast<const char*>(data.data()), data_size);
      contents.values.push_back(value);
    }
  }
  for (DWORD i = 0; i < sub_keys; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key.Get(), i, name.data(), &name_size, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      const std::string sub_key(name.data(), name_size);
      contents.keys.emplace_back(sub_key, ReadKeyContents(root, path + "\\" + sub_key));
    }
  }
  return contents;
}

std::string TypeName(DWORD type) {
  constexpr const char* kNames[] = {"REG_NONE",   "REG_SZ",       "REG_EXPAND_SZ",
                                    "REG_BINARY", "REG_DWORD",    "REG_DWORD_BIG_ENDIAN",
                                    "REG_LINK",   "REG_MULTI_SZ", "REG_RESOURCE_LIST"};
  if (type < sizeof(kNames) / sizeof(kNames[0])) return kNames[type];
  return "a value of type " + std::to_string(type);
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool SameFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::string* paths[] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    // No access asked for: the file's identity only.
    ScopedHandle file(CreateFileA(paths[i]->c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file || !GetFileInformationByHandle(file.Get(), &info[i])) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string ShortcutUrl(const std::string& path) {
  char url[4096] = {};
  GetPrivateProfileStringA("InternetShortcut", "URL", "", url, sizeof(url), path.c_str());
  return url;
}

std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<BYTE> data(size + 1);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr || length < sizeof(*info)) {
    return "";
  }
  char text[48];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                LOWORD(info->dwFileVersionLS));
  return text;
}

std::string ProgramPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? path : "korvatctl.exe";
}

TraceNames TraceNamesOf(const std::string& module) {
  const size_t slash = module.find_last_of('\\');
  std::string base = slash == std::string::npos ? module : module.substr(slash + 1);
  base = base.substr(0, base.find('.'));
  return {"TRACE_ENABLE_" + base, FolderOf(module) + "\\" + base + ".log"};
}
