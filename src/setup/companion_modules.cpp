#include "setup/companion_modules.h"

#include <windows.h>

#include <cstring>

#include "core/module_state.h"
#include "core/trace_log.h"
#include "platform/proc_address.h"
#include "platform/reg_key_handle.h"
#include "platform/scoped_handle.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

struct Companion {
  const char* trace_line;  // null: no line
  const char* setting;     // must be "TRUE"; null: no condition
  const char* file;
  const char* export_name;
};

constexpr Companion kAddOfficeMenu = {"AddOfficeMenu()", kOfficeMenu, kOfficeMenuModuleFile,
                                      "DllRegisterServer"};
constexpr Companion kAddRightClick = {"AddRightClick()", kRightClick, kRightMenuModuleFile,
                                      "DllRegisterServer"};
constexpr Companion kRemoveOfficeMenu = {nullptr, nullptr, kOfficeMenuModuleFile,
                                         "DllUnregisterServer"};
constexpr Companion kRemoveRightClick = {nullptr, nullptr, kRightMenuModuleFile,
                                         "DllUnregisterServer"};

using SelfRegistration = HRESULT(STDAPICALLTYPE*)();

// The user asked for the companion ("TRUE" in any letter case) and has a
// meeting page for it to open.
bool IsWanted(const char* setting) {
  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsRead) != ERROR_SUCCESS) return false;
  char flag[kFlagBufferSize];
  if (QuerySettingString(key.Get(), setting, flag, sizeof(flag)) != ERROR_SUCCESS ||
      std::strlen(flag) < 2 || _stricmp(flag, "TRUE") != 0) {
    return false;
  }
  char page[kPageBufferSize];
  return QuerySettingString(key.Get(), kMeetingPage, page, sizeof(page)) == ERROR_SUCCESS;
}

int CallCompanion(const Companion& companion) {
  if (companion.trace_line != nullptr) g_TraceLog.Write("%s", companion.trace_line);
  if (companion.setting != nullptr && !IsWanted(companion.setting)) return 0;

  char module_path[MAX_PATH];
  char dir[MAX_PATH];
  if (!GetModulePathAndDirectory(module_path, dir)) return 0;
  char path[MAX_PATH];
  if (!JoinPath(dir, companion.file, path, sizeof(path))) return 0;

  ScopedLibrary library(LoadLibraryA(path));
  if (!library) return 0;
  auto entry = GetProcAs<SelfRegistration>(library.Get(), companion.export_name);
  // The companion's own status is not ours to judge.
  if (entry != nullptr) entry();
  return 1;
}

}  // namespace

int AddOfficeMenu() { return CallCompanion(kAddOfficeMenu); }
int AddRightClick() { return CallCompanion(kAddRightClick); }
int RemoveOfficeMenu() { return CallCompanion(kRemoveOfficeMenu); }
int RemoveRightClick() { return CallCompanion(kRemoveRightClick); }

}  // namespace korvat
