#include "setup/companion_modules.h"

#include <windows.h>

#include <cstring>

#include "core/module_state.h"
#include "core/trace_log.h"
#include "platform/proc_address.h"
#include "platform/scoped_handle.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

struct Companion {
  const char* trace_line;  // null: no line, and no condition
  CompanionFlag flag;      // the user's wish, asked when there is a trace line
  const char* file;
  const char* export_name;
};

constexpr Companion kAddOfficeMenu = {"AddOfficeMenu()", CompanionFlag::kOfficeMenu,
                                      kOfficeMenuModuleFile, "DllRegisterServer"};
constexpr Companion kAddRightClick = {"AddRightClick()", CompanionFlag::kRightClick,
                                      kRightMenuModuleFile, "DllRegisterServer"};
constexpr Companion kRemoveOfficeMenu = {nullptr, CompanionFlag::kOfficeMenu, kOfficeMenuModuleFile,
                                         "DllUnregisterServer"};
constexpr Companion kRemoveRightClick = {nullptr, CompanionFlag::kRightClick, kRightMenuModuleFile,
                                         "DllUnregisterServer"};

using SelfRegistration = HRESULT(STDAPICALLTYPE*)();

bool CallCompanion(const Companion& companion) {
  if (companion.trace_line != nullptr) {
    g_TraceLog.Write("%s", companion.trace_line);
    if (!UserWantsCompanion(companion.flag)) return false;
  }

  char module_path[MAX_PATH];
  char dir[MAX_PATH];
  if (!GetModulePathAndDirectory(module_path, dir)) return false;
  char path[MAX_PATH];
  if (!JoinPath(dir, companion.file, path, sizeof(path))) return false;

  ScopedLibrary library(LoadLibraryA(path));
  if (!library) return false;
  auto entry = GetProcAs<SelfRegistration>(library.Get(), companion.export_name);
  // The companion's own status is not ours to judge.
  if (entry != nullptr) entry();
  return true;
}

}  // namespace

int AddOfficeMenu() { return CallCompanion(kAddOfficeMenu) ? 1 : 0; }
int AddRightClick() { return CallCompanion(kAddRightClick) ? 1 : 0; }
int RemoveOfficeMenu() { return CallCompanion(kRemoveOfficeMenu) ? 1 : 0; }
int RemoveRightClick() { return CallCompanion(kRemoveRightClick) ? 1 : 0; }

}  // namespace korvat
