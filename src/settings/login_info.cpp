#include "settings/login_info.h"

#include <cstring>

#include "core/module_state.h"
#include "core/trace_log.h"
#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"
#include "registration/ie_button_registration.h"
#include "registration/office_addin_registration.h"
#include "registration/registry_ops.h"
#include "registration/right_menu_registration.h"
#include "settings/meeting_page.h"
#include "settings/option_functions.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

constexpr const char* kSeededValues[] = {kMeetingPage, kOption,   kRightClick,
                                         kOfficeMenu,  kHasBrand, kBrandTitle};

// The registrations in the order the login information applies them.
void ApplyLoginRegistrations(bool browser_button, bool right_click, bool office_menu) {
  char module_path[MAX_PATH];
  char module_directory[MAX_PATH];
  if (!GetModulePathAndDirectory(module_path, module_directory)) return;
  SetUserIEButton(browser_button, module_directory, module_path);
  RegisterRightMenu(right_click, module_directory);
  RegisterOfficeAddIns(office_menu, module_directory, module_path);
}

// The user's key exists: store the page and keep his options, filling in a
// missing one as on.
void StoreInExistingKey(RegKeyHandle& key, const char* page) {
  key.SetString(page, kMeetingPage);
  char installed[kFlagBufferSize];
  if (QuerySettingString(key.Get(), kInstalled, installed, sizeof(installed)) != ERROR_SUCCESS ||
      !TextIsTrue(installed)) {
    key.SetString("true", kInstalled);
  }
  bool on[3];  // in the order of kOptionSettings: right click, office menu, button
  for (size_t i = 0; i < 3; ++i) {
    const OptionSetting& setting = *kOptionSettings[i];
    const OptionRule& rule = ReadOptionRule(key, setting);
    on[i] = rule.match == StoredMatch::kMissing || rule.reads_on;
    WriteOptionValue(key, setting, rule, on[i]);
  }
  key.Close();
  ApplyLoginRegistrations(on[2], on[0], on[1]);
}

// No key yet: create it with every integration on.
void CreateKey(const char* page) {
  const char* const values[][2] = {
      {kMeetingPage, page},  {kOption, "ie"},   {kOfficeMenu, "true"},
      {kRightClick, "true"}, {kInstalled, "1"},
  };
  for (const auto& value : values) SetUserRegString(kSettingsKey, value[0], value[1]);
  ApplyLoginRegistrations(true, true, true);
}

bool QueryPage(const RegKeyHandle& key, const char* value_name, char* page) {
  return QuerySettingString(key.Get(), value_name, page, kLoginPageBufferSize) == ERROR_SUCCESS;
}

// A machine page must hold at least two characters.
bool QuerySeedPage(const RegKeyHandle& key, const char* value_name, char* page) {
  return QueryPage(key, value_name, page) && std::strlen(page) >= 2;
}

// The user's own page: SiteName, else MeetingPage.
bool ReadUserPage(char* page) {
  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsRead) != ERROR_SUCCESS) return false;
  return QueryPage(key, kSiteName, page) || QueryPage(key, kMeetingPage, page);
}

// The machine's seed, offered only where UserPrivilege is "1"; without it the
// page is empty. False when no usable seed page is found.
bool ReadMachinePage(char* page) {
  std::memset(page, 0, kLoginPageBufferSize);
  RegKeyHandle key;
  if (key.Open(HKEY_LOCAL_MACHINE, kSettingsKey, kSettingsRead) != ERROR_SUCCESS) return false;
  char privilege[kPrivilegeBufferSize];
  if (QuerySettingString(key.Get(), kUserPrivilege, privilege, sizeof(privilege)) !=
          ERROR_SUCCESS ||
      _stricmp(privilege, "1") != 0) {
    return true;
  }
  if (!QuerySeedPage(key, kSiteName, page) && !QuerySeedPage(key, kMeetingPage, page)) {
    return false;
  }
  key.Close();
  CopyMachineSettings();
  return true;
}

}  // namespace

void CopyMachineSettings() {
  RegKeyHandle machine;
  if (machine.Open(HKEY_LOCAL_MACHINE, kSettingsKey, kSettingsRead) != ERROR_SUCCESS) return;
  for (const char* value_name : kSeededValues) {
    char value[kLoginPageBufferSize];
    const LONG status = value_name == kMeetingPage
                            ? QueryPageSetting(machine.Get(), value, sizeof(value))
                            : QuerySettingString(machine.Get(), value_name, value, sizeof(value));
    if (status == ERROR_SUCCESS) {
      SetUserRegString(kSettingsKey, value_name, value);
    }
  }
}

int SetLoginInfo(const char* site, const char* name) {
  g_TraceLog.Write("TapvoSetLoginInfo()");
  // A line break in the page would reach the shortcut file and the browser.
  if (site == nullptr || name == nullptr || HasControlBytes(site) || HasControlBytes(name)) {
    return -1;
  }
  char page[kMeetingPageSize];
  if (!BuildPageFromLogin(site, name, page)) return -1;

  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsChange) == ERROR_SUCCESS) {
    StoreInExistingKey(key, page);
  } else {
    CreateKey(page);
  }
  g_TraceLog.Write("TapvoSetLoginInfo() end");
  return 0;
}

int GetLoginInfo(char* site, char* name) {
  g_TraceLog.Write("TapvoGetLoginInfo()");
  if (site == nullptr || name == nullptr) return -1;
  char page[kLoginPageBufferSize];
  if (!ReadUserPage(page) && !ReadMachinePage(page)) return -1;
  SplitMeetingPage(page, site, name);
  g_TraceLog.Write("TapvoGetLoginInfo() end");
  return 0;
}

}  // namespace korvat
