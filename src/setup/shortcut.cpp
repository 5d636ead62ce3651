#include "setup/shortcut.h"

#include <shlobj.h>
// After the COM declarations that it builds on.
#include <intshcut.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "platform/ansi_text.h"
#include "platform/com_ptr.h"
#include "platform/last_error.h"
#include "platform/scoped_handle.h"
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

// By the character the byte stands for in the system code page: 0xB9 is a
// superscript one in code page 1252, but not in every code page.
bool IsSystemSuperscriptDigit(unsigned char c) {
  wchar_t character = 0;
  const char byte = static_cast<char>(c);
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &byte, 1, &character, 1) == 1 &&
         (character == 0x00B9 || character == 0x00B2 || character == 0x00B3);
}

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

// A shortcut this module wrote: it bears the module's mark, in a section of
// its own that the shell does not read. The file carries it, so it outlives
// the settings key and SHORTCUT_PATH, which every setup deletes before the
// shortcut is made again: the module knows its own shortcut without
// mistaking a user's.
bool IsOwnShortcut(const char* path) {
  if (!FileIsThere(path)) return false;
  // A byte more than the mark: a longer value must not read as the mark.
  char owner[sizeof(kShortcutMarkValue) + 1] = {};
  GetPrivateProfileStringA(kShortcutMarkSection, kShortcutMarkEntry, "", owner, sizeof(owner),
                           path);
  return std::strcmp(owner, kShortcutMarkValue) == 0;
}

// `folder` (ending in a backslash) and the file name made of `name` and
// `number`, into `path` (MAX_PATH bytes).
bool MakeShortcutPath(const char* folder, const char* name, unsigned number, char* path) {
  const size_t start = std::strlen(folder);
  std::memcpy(path, folder, start);
  return MakeShortcutFileName(name, number, IsSystemLeadByte, IsSystemSuperscriptDigit,
                              path + start, MAX_PATH - start);
}

// The first of "<name>.url", "<name> (2).url", ... that is free or is the
// module's own: the file under the standard name, or one that bears the
// mark. A file of the user's own is never overwritten. False when none is.
bool ChooseShortcutPath(const char* folder, const char* name, const char* standard, char* path) {
  for (unsigned number = 1; number <= kMaxShortcutNumber; ++number) {
    if (!MakeShortcutPath(folder, name, number, path)) return false;
    if (!PathIsTaken(path) || IsOwnShortcut(path) ||
        (_stricmp(path, standard) == 0 && FileIsThere(path))) {
      return true;
    }
  }
  return false;
}

// Deletes the file under the standard name and every shortcut on the desktop
// that bears the mark, except `keep`.
void DeleteOwnShortcuts(const char* folder, const char* standard, const char* keep) {
  if (_stricmp(standard, keep) != 0) DeleteFileA(standard);
  char path[MAX_PATH];
  if (FormatText(path, sizeof(path), "%s*.url", folder) < 0) return;
  // The names, each with its zero, are listed first and deleted after.
  std::vector<char> own;
  WIN32_FIND_DATAA entry;
  ScopedFindHandle find(FindFirstFileA(path, &entry));
  for (bool more = static_cast<bool>(find); more;
       more = FindNextFileA(find.Get(), &entry) != FALSE) {
    if (FormatText(path, sizeof(path), "%s%s", folder, entry.cFileName) >= 0 &&
        _stricmp(path, keep) != 0 && IsOwnShortcut(path)) {
      own.insert(own.end(), path, path + std::strlen(path) + 1);
    }
  }
  for (size_t at = 0; at < own.size(); at += std::strlen(&own[at]) + 1) DeleteFileA(&own[at]);
}

// Writes the shortcut with its mark beside the shell's entries, then moves it
// into place whole: a process ended half-way leaves no unmarked shortcut of
// the module's on the desktop, which a later setup would take for the user's.
HRESULT WriteOwnShortcut(const char* url, const char* path, const char* description,
                         const char* icon_file, int icon_index) {
  char folder[MAX_PATH], temporary[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH || GetTempFileNameA(folder, "kvt", 0, temporary) == 0) {
    return LastErrorAsHResult();
  }
  HRESULT hr = CreateUrlShortcut(url, temporary, description, icon_file, icon_index);
  if (SUCCEEDED(hr) && !WritePrivateProfileStringA(kShortcutMarkSection, kShortcutMarkEntry,
                                                   kShortcutMarkValue, temporary)) {
    hr = LastErrorAsHResult();
  }
  // Flushes the profile cache to the file.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, temporary);
  if (SUCCEEDED(hr) &&
      !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    hr = LastErrorAsHResult();
  }
  DeleteFileA(temporary);  // already gone when it was moved
  return hr;
}

// The standard name (string 104), the desktop folder ending in a backslash,
// and the standard name's path in it; each buffer MAX_PATH bytes.
bool FindDesktopPaths(char* name, char* folder, char* standard) {
  return LoadResourceString(IDS_SHORTCUT_NAME, name, MAX_PATH) != 0 && GetDesktopFolder(folder) &&
         AppendBackslash(folder, MAX_PATH) && MakeShortcutPath(folder, name, 1, standard);
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
  const std::vector<wchar_t> wide_path = WidenAnsi(path);
  if (wide_path.empty()) return LastErrorAsHResult();
  if (FAILED(link_hr)) {
    return SaveWithoutShellLink(file.Get(), wide_path.data(), path, icon_file, icon_index);
  }
  hr = link->SetIconLocation(icon_file, icon_index);
  if (FAILED(hr)) return hr;
  hr = link->SetDescription(description);
  if (FAILED(hr)) return hr;
  return file->Save(wide_path.data(), TRUE);
}

int AddShortcut() {
  ShortcutSettings settings;
  if (!ReadShortcutSettings(&settings)) return 0;
  const Brand& brand = settings.brand;

  char standard_name[MAX_PATH], desktop[MAX_PATH], standard[MAX_PATH], path[MAX_PATH];
  if (!FindDesktopPaths(standard_name, desktop, standard)) return 0;
  const bool use_brand = brand.branded && brand.title.text[0] != '\0';
  const char* name = use_brand ? brand.title.text : standard_name;
  if (!ChooseShortcutPath(desktop, name, standard, path)) return 0;
  char icon_file[MAX_PATH];
  GetModulePath(icon_file);  // no icon when it fails

  const HRESULT saved = WriteOwnShortcut(settings.page.text, path, name, icon_file,
                                         use_brand ? kBrandIconIndex : kStandardIconIndex);
  RememberShortcutPath(path);
  if (FAILED(saved) || !FileIsThere(path)) return 0;
  // One meeting shortcut: an earlier one under another name (the brand title
  // changed, or branding was switched off) goes.
  DeleteOwnShortcuts(desktop, standard, path);
  return 1;
}

int RemoveShortcut() {
  char standard_name[MAX_PATH], desktop[MAX_PATH], standard[MAX_PATH];
  if (!FindDesktopPaths(standard_name, desktop, standard)) return 0;
  DeleteOwnShortcuts(desktop, standard, "");
  // A file of the user's own may stand at the remembered path by now.
  FlagText remembered;
  if (!ReadShortcutPath(&remembered)) return 0;
  if (IsOwnShortcut(remembered.text)) DeleteFileA(remembered.text);
  return 1;
}

}  // namespace korvat
