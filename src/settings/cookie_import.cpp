#include "settings/cookie_import.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/module_state.h"
#include "core/trace_log.h"
#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"
#include "platform/scoped_handle.h"
#include "settings/cookie_file.h"
#include "settings/settings_key.h"

namespace korvat {

char LastCookieFile[MAX_PATH] = {};

namespace {

bool IsExistingFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ULONGLONG Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The cookies folder with a trailing backslash; false when the shell has none.
bool GetCookieFolder(char* folder) {
  std::memset(folder, 0, MAX_PATH);
  if (SHGetFolderPathA(nullptr, CSIDL_COOKIES, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK ||
      folder[0] == '\0') {
    return false;
  }
  return AppendBackslash(folder, MAX_PATH);
}

// Reads every "*.txt" of the cookies folder and takes the newest cookie.
bool SearchCookieFolder(const char* name, char* value, size_t value_size, char* url,
                        size_t url_size) {
  char folder[MAX_PATH];
  if (!GetCookieFolder(folder)) return false;
  char pattern[MAX_PATH];
  // FormatText answers -1 for a text cut to fit.
  if (FormatText(pattern, sizeof(pattern), "%s*.txt", folder) < 0) return false;

  WIN32_FIND_DATAA entry;
  ScopedFindHandle find(FindFirstFileA(pattern, &entry));
  if (!find) return false;
  bool found = false;
  ULONGLONG newest = 0;  // a creation time of 0 is never taken
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char path[MAX_PATH];
    if (FormatText(path, sizeof(path), "%s%s", folder, entry.cFileName) < 0) continue;
    char file_value[kCookieLineSize] = {};
    char file_url[kCookieLineSize] = {};
    ULONGLONG created = 0;
    if (ReadCookieFile(path, name, file_value, file_url, &created) && created > newest) {
      newest = created;
      CopyCut(value, value_size, file_value, std::strlen(file_value));
      CopyCut(url, url_size, file_url, std::strlen(file_url));
      std::strcpy(LastCookieFile, path);
      found = true;
    }
  } while (FindNextFileA(find.Get(), &entry));
  return found;
}

struct SettingWrite {
  const char* name;
  const char* data;
};

// Opens or creates the settings key under `root` and writes each value in
// order; the status of the last write.
LONG WriteSettings(HKEY root, const SettingWrite* writes, size_t count) {
  RegKeyHandle key;
  LONG status = key.Open(root, kSettingsKey, KEY_ALL_ACCESS);
  if (status != ERROR_SUCCESS) {
    status = key.Create(root, kSettingsKey, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS);
  }
  if (status != ERROR_SUCCESS) return status;
  for (size_t i = 0; i < count; ++i) status = key.SetString(writes[i].data, writes[i].name);
  return status;
}

}  // namespace

int ReadCookieFile(const char* path, const char* szCookieName, char* value, char* url,
                   ULONGLONG* created) {
  *created = 0;
  ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return 0;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<ULONGLONG>(size.QuadPart) > kMaxCookieFileSize) {
    return 0;
  }
  const DWORD wanted = static_cast<DWORD>(size.QuadPart);
  std::vector<char> text(wanted + 1);
  DWORD total = 0;
  while (total < wanted) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), text.data() + total, wanted - total, &read, nullptr) || read == 0) {
      break;
    }
    total += read;
  }
  uint64_t file_created = 0;
  if (!FindCookieInText(text.data(), total, szCookieName, Now(), value, url, &file_created)) {
    return 0;
  }
  *created = file_created;
  return 1;
}

int FindCookieFile(const char* szCookieName, char* szCookieValue, size_t value_size,
                   char* szCookieURL, size_t url_size) {
  if (szCookieName == nullptr || szCookieValue == nullptr || szCookieURL == nullptr ||
      value_size == 0 || url_size == 0) {
    return 0;
  }
  if (LastCookieFile[0] != '\0' && IsExistingFile(LastCookieFile)) {
    // The file of the last search answers alone, found or not.
    char value[kCookieLineSize] = {};
    char url[kCookieLineSize] = {};
    ULONGLONG created = 0;
    if (!ReadCookieFile(LastCookieFile, szCookieName, value, url, &created)) return 0;
    CopyCut(szCookieValue, value_size, value, std::strlen(value));
    CopyCut(szCookieURL, url_size, url, std::strlen(url));
    return 1;
  }
  bool found = SearchCookieFolder(szCookieName, szCookieValue, value_size, szCookieURL, url_size);
  g_TraceLog.Write("FindCookieFile(),szCookieName=%s, szCookieValue=%s, szCookieURL=%s",
                   szCookieName, szCookieValue, szCookieURL);
  return found ? 1 : 0;
}

int ImportCookieSettings() {
  char page_value[kCookieLineSize] = {};
  char page_url[kCookieLineSize] = {};
  if (!FindCookieFile(kMeetingPageCookie, page_value, sizeof(page_value), page_url,
                      sizeof(page_url))) {
    return 0;
  }
  // A value that is not a plain path on the cookie's own host counts as no
  // cookie: a site must not send the button or the shortcut elsewhere.
  if (!IsUsablePageCookie(page_url, page_value)) return 0;

  InstallChoices choices;
  SetInstallDefaults(&choices);
  char install_value[kInstallValueSize] = {};
  char install_url[kCookieLineSize] = {};
  if (FindCookieFile(kInstallCookie, install_value, sizeof(install_value), install_url,
                     sizeof(install_url))) {
    SplitInstallCookie(install_value, &choices);
  }

  char page[kMeetingPageSize];
  BuildPageFromCookie(choices.scheme, page_url, page_value, page, sizeof(page));

  const SettingWrite user_writes[] = {
      {kMeetingPage, page},
      {kRightClick, choices.right_click},
      {kOfficeMenu, choices.office_menu},
      {kHasBrand, choices.has_brand},
      {kBrandTitle, choices.brand_title},
      {kOption, choices.option},  // last: its write decides the result
  };
  if (WriteSettings(HKEY_CURRENT_USER, user_writes, ARRAYSIZE(user_writes)) != ERROR_SUCCESS) {
    return 0;
  }
  const SettingWrite machine_writes[] = {
      {kMeetingPage, page},
      {kRightClick, choices.right_click},
      {kOfficeMenu, choices.office_menu},
      {kOption, choices.option},
  };
  if (WriteSettings(HKEY_LOCAL_MACHINE, machine_writes, ARRAYSIZE(machine_writes)) ==
      ERROR_SUCCESS) {
    return 1;
  }
  // A machine hive that cannot be written fails the import only when the
  // toolbar button, which lives there, is wanted.
  return OptionWantsButton(choices.option) ? 0 : 1;
}

}  // namespace korvat
