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

using SelfRegistration = HRESULT(STDAPICALLTYPE*)();

// Loads the companion beside the module and runs its self-registration export.
bool RunCompanion(const char* file, const char* export_name) {
  char module_path[MAX_PATH];
  char dir[MAX_PATH];
  if (!GetModulePathAndDirectory(module_path, dir)) return false;
  char path[MAX_PATH];
  if (!JoinPath(dir, file, path, sizeof(path))) return false;

  ScopedLibrary library(LoadLibraryA(path));
  if (!library) return false;
  auto entry = GetProcAs<SelfRegistration>(library.Get(), export_name);
  // The companion's own status is not ours to judge.
  if (entry != nullptr) entry();
  return true;
}

// An addition is traced and made only when the user asked for it.
bool AddCompanion(const char* trace_line, CompanionFlag flag, const char* file) {
  g_TraceLog.Write("%s", trace_line);
  return UserWantsCompanion(flag) && RunCompanion(file, "DllRegisterServer");
}

}  // namespace

int AddOfficeMenu() {
  return AddCompanion("AddOfficeMenu()", CompanionFlag::kOfficeMenu, kOfficeMenuModuleFile) ? 1 : 0;
}
int AddRightClick() {
  return AddCompanion("AddRightClick()", CompanionFlag::kRightClick, kRightMenuModuleFile) ? 1 : 0;
}
int RemoveOfficeMenu() {
  return RunCompanion(kOfficeMenuModuleFile, "DllUnregisterServer") ? 1 : 0;
}
int RemoveRightClick() { return RunCompanion(kRightMenuModuleFile, "DllUnregisterServer") ? 1 : 0; }

}  // namespace korvat
