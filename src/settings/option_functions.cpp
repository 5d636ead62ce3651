#include "settings/option_functions.h"

#include <cstring>

#include "core/module_state.h"
#include "core/trace_log.h"
#include "platform/reg_key_handle.h"
#include "registration/ie_button_registration.h"
#include "registration/office_addin_registration.h"
#include "registration/right_menu_registration.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

// RightClick and OfficeMenu: "true" or not.
constexpr OptionRule kFlagRules[] = {
    {StoredMatch::kMissing, nullptr, false, "true", "false"},
    {StoredMatch::kText, "true", true, nullptr, "false"},
    {StoredMatch::kOtherText, nullptr, false, "true", nullptr},
};

// Option: the button is switched and the desktop shortcut part is kept.
constexpr OptionRule kBrowserButtonRules[] = {
    {StoredMatch::kMissing, nullptr, false, "ie", nullptr},
    {StoredMatch::kText, "ie", true, nullptr, " "},
    {StoredMatch::kText, "iedesktop", true, nullptr, "desktop"},
    {StoredMatch::kText, "desktop", false, "iedesktop", nullptr},
    {StoredMatch::kOtherText, nullptr, false, "ie", nullptr},
};

template <size_t N>
constexpr OptionSetting MakeSetting(const char* value_name, DWORD flag,
                                    const OptionRule (&rules)[N]) {
  return OptionSetting{value_name, flag, rules, N};
}

}  // namespace

const OptionSetting kRightClickSetting = MakeSetting(kRightClick, OPTION_RIGHT_CLICK, kFlagRules);
const OptionSetting kOfficeMenuSetting = MakeSetting(kOfficeMenu, OPTION_OFFICE_MENU, kFlagRules);
const OptionSetting kBrowserButtonSetting =
    MakeSetting(kOption, OPTION_BROWSER_BUTTON, kBrowserButtonRules);

const OptionSetting* const kOptionSettings[3] = {&kRightClickSetting, &kOfficeMenuSetting,
                                                 &kBrowserButtonSetting};

const OptionRule& ReadOptionRule(const RegKeyHandle& key, const OptionSetting& setting) {
  char stored[kFlagBufferSize];
  const bool missing =
      QuerySettingString(key.Get(), setting.value_name, stored, sizeof(stored)) != ERROR_SUCCESS;
  const OptionRule* other = nullptr;
  for (size_t i = 0; i < setting.rule_count; ++i) {
    const OptionRule& rule = setting.rules[i];
    switch (rule.match) {
      case StoredMatch::kMissing:
        if (missing) return rule;
        break;
      case StoredMatch::kText:
        if (!missing && _stricmp(stored, rule.text) == 0) return rule;
        break;
      case StoredMatch::kOtherText:
        other = &rule;
        break;
    }
  }
  return *other;
}

void WriteOptionValue(RegKeyHandle& key, const OptionSetting& setting, const OptionRule& rule,
                      bool on) {
  const char* text = on ? rule.write_when_on : rule.write_when_off;
  if (text != nullptr) key.SetString(text, setting.value_name);
}

namespace {

// Switches one integration to `wanted` in the open settings key.
bool SwitchOption(RegKeyHandle& key, const OptionSetting& setting, DWORD flags) {
  const bool wanted = (flags & setting.flag) != 0;
  WriteOptionValue(key, setting, ReadOptionRule(key, setting), wanted);
  return wanted;
}

// Writes each registration whose flag is set and removes the others, in the
// order the option functions use.
void ApplyFlagRegistrations(DWORD flags) {
  char module_path[MAX_PATH];
  char module_directory[MAX_PATH];
  if (!GetModulePathAndDirectory(module_path, module_directory)) return;
  RegisterRightMenu((flags & OPTION_RIGHT_CLICK) != 0, module_directory);
  RegisterOfficeAddIns((flags & OPTION_OFFICE_MENU) != 0, module_directory, module_path);
  SetUserIEButton((flags & OPTION_BROWSER_BUTTON) != 0, module_directory, module_path);
}

}  // namespace

int SetOptions(DWORD flags) {
  g_TraceLog.Write("TapvoSetOption()");
  RegKeyHandle key;
  // Never created here: the key comes from setup or the login information.
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsChange) != ERROR_SUCCESS) return -1;
  DWORD state = 0;
  for (const OptionSetting* setting : kOptionSettings) {
    if (SwitchOption(key, *setting, flags)) state |= setting->flag;
  }
  key.Close();
  ApplyFlagRegistrations(state);
  g_TraceLog.Write("TapvoSetOption() end");
  return 0;
}

int GetOptions(DWORD* flags) {
  g_TraceLog.Write("TapvoGetOption()");
  if (flags == nullptr) return -1;
  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsRead) != ERROR_SUCCESS) return -1;
  // Bits are only ever added: the caller starts from 0.
  *flags |= OPTION_SETTINGS_PRESENT;
  for (const OptionSetting* setting : kOptionSettings) {
    if (ReadOptionRule(key, *setting).reads_on) *flags |= setting->flag;
  }
  key.Close();
  g_TraceLog.Write("TapvoGetOption() end");
  return 0;
}

int RemoveAddIns(DWORD flags) {
  g_TraceLog.Write("TapvoRemoveAddIn()");
  ApplyFlagRegistrations(flags);
  g_TraceLog.Write("TapvoRemoveAddIn() end");
  return 0;
}

}  // namespace korvat
