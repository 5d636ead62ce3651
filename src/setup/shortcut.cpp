#include "setup/shortcut.h"

#include <shlobj.h>
// After the COM declarations that it builds on.
#include <intshcut.h>

#include <cstdio>
#include <cstring>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "platform/com_ptr.h"
#include "registration/reg_key_handle.h"
#include "resources/resource_ids.h"
#include "settings/settings_key.h"

namespace {

constexpr char kShortcutExtension[] = ".url";
// Icon indexes in the module's own file: group 205 and group 211.
constexpr int kStandardIconIndex = 2;
constexpr int kBrandIconIndex = 3;

// The Internet shortcut file's own section and icon entries.
constexpr char kShortcutSection[] = "InternetShortcut";
constexpr char kIconFileEntry[] = "IconFile";
constexpr char kIconIndexEntry[] = "IconIndex";

bool OptionWantsShortcut(const char* option) {
  return _stricmp(option, "desktop") == 0 || _stricmp(option, "iedesktop") == 0;
}

// The desktop folder, a backslash, the name and ".url"; false when it does
// not fit. The brand title comes from a web site's cookie: characters that
// a file name cannot hold (path separators among them, which would place
// the file outside the desktop) become "_".
bool JoinShortcutPath(const char* desktop, const char* name, char* path) {
  std::strcpy(path, desktop);
  if (!AppendBackslash(path, MAX_PATH)) return false;
  const size_t start = std::strlen(path);
  int written = std::snprintf(path + start, MAX_PATH - start, "%s%s", name,
                              kShortcutExtension);
  if (written < 0 || static_cast<size_t>(written) >= MAX_PATH - start) return false;
  char* const name_end = path + std::strlen(path) - (sizeof(kShortcutExtension) - 1);
  for (char* at = path + start; at < name_end; at = CharNextA(at)) {
    unsigned char c = static_cast<unsigned char>(*at);
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) *at = '_';
  }
  return true;
}

HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Where the object offers no IShellLinkA, it saves the URL alone; the icon
// goes into the file's own entries beside it. The file's name carries the
// description: the format has no entry for one.
HRESULT SaveWithoutShellLink(IPersistFile* file, const wchar_t* wide_path, const char* path,
                             const char* icon_file, int icon_index) {
  HRESULT hr = file->Save(wide_path, TRUE);
  if (FAILED(hr)) return hr;
  char index[16];
  std::snprintf(index, sizeof(index), "%d", icon_index);
  if (!WritePrivateProfileStringA(kShortcutSection, kIconFileEntry, icon_file, path) ||
      !WritePrivateProfileStringA(kShortcutSection, kIconIndexEntry, index, path)) {
    return LastErrorResult();
  }
  // Flushes the profile cache to the file.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
  return S_OK;
}

}  // namespace

bool AppendBackslash(char* path, size_t size) {
  size_t length = std::strlen(path);
  if (length > 0 && FindLastBackslash(path) == path + length - 1) return true;
  if (length + 2 > size) return false;
  path[length] = '\\';
  path[length + 1] = '\0';
  return true;
}

bool GetDesktopFolder(char* folder) {
  std::memset(folder, 0, MAX_PATH);
  ComPtr<IMalloc> allocator;
  if (FAILED(SHGetMalloc(allocator.Receive()))) return false;
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &items))) {
    return false;
  }
  BOOL converted = SHGetPathFromIDListA(items, folder);
  allocator->Free(items);
  return converted != FALSE;
}

HRESULT CreateUrlShortcut(const char* url, const char* path, const char* description,
                          const char* icon_file, int icon_index) {
  ScopedCoInitialize com;
  ComPtr<IUniformResourceLocatorA> locator;
  HRESULT hr = CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUniformResourceLocatorA, locator.ReceiveVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IPersistFile> file;
  hr = locator.As(IID_IPersistFile, &file);
  if (FAILED(hr)) return hr;
  ComPtr<IShellLinkA> link;
  HRESULT link_hr = locator.As(IID_IShellLinkA, &link);

  locator->SetURL(url, 0);
  wchar_t wide_path[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, MAX_PATH) == 0) {
    return LastErrorResult();
  }
  if (FAILED(link_hr)) {
    return SaveWithoutShellLink(file.Get(), wide_path, path, icon_file, icon_index);
  }
  hr = link->SetIconLocation(icon_file, icon_index);
  if (FAILED(hr)) return hr;
  hr = link->SetDescription(description);
  if (FAILED(hr)) return hr;
  return file->Save(wide_path, TRUE);
}

int AddShortcut() {
  char option[kFlagBufferSize];
  char page[kPageBufferSize];
  char has_brand[kFlagBufferSize];
  char brand_title[kFlagBufferSize] = {};
  bool branded = false;
  {
    RegKeyHandle key;
    if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsRead) != ERROR_SUCCESS) return 0;
    if (QuerySettingString(key.Get(), kOption, option, sizeof(option)) != ERROR_SUCCESS ||
        !OptionWantsShortcut(option)) {
      return 0;
    }
    // A missing page still makes the shortcut, with an empty address.
    QuerySettingString(key.Get(), kMeetingPage, page, sizeof(page));
    LONG lookup = QuerySettingString(key.Get(), kHasBrand, has_brand, sizeof(has_brand));
    if (lookup == ERROR_SUCCESS && TextIsTrue(has_brand)) {
      branded = true;
      lookup = QuerySettingString(key.Get(), kBrandTitle, brand_title, sizeof(brand_title));
    }
    if (lookup != ERROR_SUCCESS) return 0;
  }

  char standard_name[MAX_PATH];
  if (LoadResourceString(IDS_SHORTCUT_NAME, standard_name, sizeof(standard_name)) == 0) {
    return 0;
  }
  char icon_file[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(ModuleInstance, icon_file, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) icon_file[0] = '\0';

  const bool use_brand = branded && brand_title[0] != '\0';
  const char* name = use_brand ? brand_title : standard_name;
  char desktop[MAX_PATH];
  if (!GetDesktopFolder(desktop)) return 0;
  char path[MAX_PATH];
  if (!JoinShortcutPath(desktop, name, path)) return 0;

  CreateUrlShortcut(page, path, name, icon_file,
                    use_brand ? kBrandIconIndex : kStandardIconIndex);

  // Remembered whatever the shell reported, so that removal finds the file
  // under a branded or translated name.
  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsChange) == ERROR_SUCCESS) {
    key.SetString(path, kShortcutPath);
    RegFlushKey(key.Get());
  }
  return 1;
}

int RemoveShortcut() {
  char standard_name[MAX_PATH];
  if (LoadResourceString(IDS_SHORTCUT_NAME, standard_name, sizeof(standard_name)) == 0) {
    return 0;
  }
  char desktop[MAX_PATH];
  if (!GetDesktopFolder(desktop)) return 0;
  char path[MAX_PATH];
  if (JoinShortcutPath(desktop, standard_name, path)) DeleteFileA(path);

  char remembered[kFlagBufferSize];
  if (ReadSettingString(HKEY_CURRENT_USER, kShortcutPath, remembered, sizeof(remembered)) !=
      ERROR_SUCCESS) {
    return 0;
  }
  DeleteFileA(remembered);
  return 1;
}
