#include "setup/shortcut.h"

#include <shlobj.h>
// After the COM declarations that it builds on.
#include <intshcut.h>

#include <cstdio>
#include <cstring>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "platform/ansi_text.h"
#include "platform/com_ptr.h"
#include "platform/last_error.h"
#include "platform/reg_key_handle.h"
#include "resources/resource_ids.h"
#include "settings/settings_key.h"
#include "setup/shortcut_name.h"

namespace korvat {

namespace {

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

bool IsSystemLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// A file (or anything else) stands at `path`.
bool PathIsTaken(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool FileIsThere(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The first of "<name>.url", "<name> (2).url", ... in `folder` (which ends
// in a backslash) that is free or is the file this module wrote before
// (`remembered`): a file of the user's own is never overwritten. False when
// none is.
bool ChooseShortcutPath(const char* folder, const char* name, const char* remembered, char* path) {
  const size_t start = std::strlen(folder);
  std::memcpy(path, folder, start);
  for (unsigned number = 1; number <= kMaxShortcutNumber; ++number) {
    if (!MakeShortcutFileName(name, number, IsSystemLeadByte, path + start, MAX_PATH - start)) {
      return false;
    }
    if (!PathIsTaken(path) || (std::strcmp(path, remembered) == 0 && FileIsThere(path))) {
      return true;
    }
  }
  return false;
}

// Where the object offers no IShellLinkA, it saves the URL alone; the icon
// goes into the file's own entries beside it. The file's name carries the
// description: the format has no entry for one.
HRESULT SaveWithoutShellLink(IPersistFile* file, const wchar_t* wide_path, const char* path,
                             const char* icon_file, int icon_index) {
  HRESULT hr = file->Save(wide_path, TRUE);
  if (FAILED(hr)) return hr;
  char index[16];
  FormatText(index, sizeof(index), "%d", icon_index);
  if (!WritePrivateProfileStringA(kShortcutSection, kIconFileEntry, icon_file, path) ||
      !WritePrivateProfileStringA(kShortcutSection, kIconIndexEntry, index, path)) {
    return LastErrorAsHResult();
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
  if (FAILED(SHGetMalloc(allocator.Put()))) return false;
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
                                IID_IUniformResourceLocatorA, locator.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IPersistFile> file;
  hr = locator.As(IID_IPersistFile, &file);
  if (FAILED(hr)) return hr;
  ComPtr<IShellLinkA> link;
  HRESULT link_hr = locator.As(IID_IShellLinkA, &link);

  locator->SetURL(url, 0);
  wchar_t wide_path[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, MAX_PATH) == 0) {
    return LastErrorAsHResult();
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
  char remembered[kFlagBufferSize] = {};
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
    if (QuerySettingString(key.Get(), kShortcutPath, remembered, sizeof(remembered)) !=
        ERROR_SUCCESS) {
      remembered[0] = '\0';
    }
  }

  char standard_name[MAX_PATH];
  if (LoadResourceString(IDS_SHORTCUT_NAME, standard_name, sizeof(standard_name)) == 0) {
    return 0;
  }
  char icon_file[MAX_PATH];
  GetModulePath(icon_file);  // no icon when it fails

  const bool use_brand = branded && brand_title[0] != '\0';
  const char* name = use_brand ? brand_title : standard_name;
  char desktop[MAX_PATH];
  if (!GetDesktopFolder(desktop) || !AppendBackslash(desktop, MAX_PATH)) return 0;
  char path[MAX_PATH];
  if (!ChooseShortcutPath(desktop, name, remembered, path)) return 0;

  const HRESULT saved = CreateUrlShortcut(page, path, name, icon_file,
                                          use_brand ? kBrandIconIndex : kStandardIconIndex);
  // The path was free or held this module's own file, so whatever stands
  // there now is the module's: remembered, so that removal finds it under a
  // branded or translated name. Nothing there, nothing remembered.
  if (!FileIsThere(path)) return 0;
  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsChange) == ERROR_SUCCESS) {
    key.SetString(path, kShortcutPath);
    RegFlushKey(key.Get());
  }
  return SUCCEEDED(saved) ? 1 : 0;
}

int RemoveShortcut() {
  // Only the file this module wrote: one under the standard name may be the
  // user's own.
  char remembered[kFlagBufferSize];
  if (ReadSettingString(HKEY_CURRENT_USER, kShortcutPath, remembered, sizeof(remembered)) !=
      ERROR_SUCCESS) {
    return 0;
  }
  DeleteFileA(remembered);
  return 1;
}

}  // namespace korvat
