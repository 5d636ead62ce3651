#include "settings/settings_key.h"

#include <cstring>

#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"
#include "registration/registry_ops.h"

namespace korvat {

LONG QuerySettingString(HKEY key, const char* value_name, char* buffer, DWORD size) {
  std::memset(buffer, 0, size);
  DWORD data_size = size;
  LONG status = RegQueryValueExA(key, value_name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                 &data_size);
  if (status == ERROR_SUCCESS && data_size == size && buffer[size - 1] != '\0') {
    // Fills the buffer without room for a terminating zero: too long.
    status = ERROR_MORE_DATA;
  }
  if (status != ERROR_SUCCESS) std::memset(buffer, 0, size);
  return status;
}

LONG ReadSettingString(HKEY root, const char* value_name, char* buffer, DWORD size) {
  std::memset(buffer, 0, size);
  RegKeyHandle key;
  LONG status = key.Open(root, kSettingsKey, kSettingsRead);
  if (status != ERROR_SUCCESS) return status;
  return QuerySettingString(key.Get(), value_name, buffer, size);
}

LONG QueryPageSetting(HKEY key, char* page, DWORD size) {
  LONG status = QuerySettingString(key, kMeetingPage, page, size);
  if (status == ERROR_SUCCESS && HasControlBytes(page)) {
    std::memset(page, 0, size);
    status = ERROR_INVALID_DATA;
  }
  return status;
}

bool TextIsTrue(const char* text) { return _stricmp(text, "true") == 0; }

bool OptionWantsButton(const char* option) {
  return _stricmp(option, "ie") == 0 || _stricmp(option, "iedesktop") == 0;
}

namespace {

bool OptionWantsShortcut(const char* option) {
  return _stricmp(option, "desktop") == 0 || _stricmp(option, "iedesktop") == 0;
}

LONG OpenUserSettings(RegKeyHandle& key) {
  return key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsRead);
}

// HasBrand and, when it is "true", BrandTitle from the open key.
bool QueryBrand(HKEY key, Brand* brand) {
  FlagText has_brand;
  if (QuerySettingString(key, kHasBrand, has_brand.text, sizeof(has_brand.text)) != ERROR_SUCCESS) {
    return false;
  }
  brand->branded = TextIsTrue(has_brand.text);
  return !brand->branded || QuerySettingString(key, kBrandTitle, brand->title.text,
                                               sizeof(brand->title.text)) == ERROR_SUCCESS;
}

bool QueryWantsOption(HKEY key, bool (*wants)(const char* option)) {
  FlagText option;
  return QuerySettingString(key, kOption, option.text, sizeof(option.text)) == ERROR_SUCCESS &&
         wants(option.text);
}

constexpr const char* kCompanionFlags[] = {kOfficeMenu, kRightClick};

}  // namespace

BrandLookup ReadUserBrand(Brand* brand) {
  RegKeyHandle key;
  if (OpenUserSettings(key) != ERROR_SUCCESS) return BrandLookup::kNoKey;
  return QueryBrand(key.Get(), brand) ? BrandLookup::kRead : BrandLookup::kMissing;
}

bool ReadShortcutSettings(ShortcutSettings* settings) {
  RegKeyHandle key;
  if (OpenUserSettings(key) != ERROR_SUCCESS || !QueryWantsOption(key.Get(), OptionWantsShortcut)) {
    return false;
  }
  // A missing page still makes the shortcut, with an empty address.
  QueryPageSetting(key.Get(), settings->page.text, sizeof(settings->page.text));
  return QueryBrand(key.Get(), &settings->brand);
}

bool UserWantsButton() {
  RegKeyHandle key;
  return OpenUserSettings(key) == ERROR_SUCCESS && QueryWantsOption(key.Get(), OptionWantsButton);
}

bool UserWantsCompanion(CompanionFlag flag) {
  RegKeyHandle key;
  if (OpenUserSettings(key) != ERROR_SUCCESS) return false;
  FlagText text;
  if (QuerySettingString(key.Get(), kCompanionFlags[static_cast<int>(flag)], text.text,
                         sizeof(text.text)) != ERROR_SUCCESS ||
      std::strlen(text.text) < 2 || _stricmp(text.text, "TRUE") != 0) {
    return false;
  }
  PageText page;
  return QuerySettingString(key.Get(), kMeetingPage, page.text, sizeof(page.text)) == ERROR_SUCCESS;
}

LONG ReadButtonPage(PageText* page) {
  RegKeyHandle key;
  LONG status = OpenUserSettings(key);
  if (status != ERROR_SUCCESS) status = key.Open(HKEY_LOCAL_MACHINE, kSettingsKey, kSettingsRead);
  if (status != ERROR_SUCCESS) return status;
  return QueryPageSetting(key.Get(), page->text, sizeof(page->text));
}

bool ClientIsLoggedOn() {
  RegKeyHandle logon;
  if (RegOpenKeyA(HKEY_CURRENT_USER, kLogonKey, logon.Put()) != ERROR_SUCCESS || !logon) {
    return false;
  }
  DWORD state = 0;
  DWORD size = sizeof(state);
  return RegQueryValueExA(logon.Get(), kLogonState, nullptr, nullptr,
                          reinterpret_cast<BYTE*>(&state), &size) == ERROR_SUCCESS &&
         state != 0;
}

void ReadReturnPage(FlagText* page) {
  ReadSettingString(HKEY_CURRENT_USER, kReturnPage, page->text, sizeof(page->text));
}

bool ReadShortcutPath(FlagText* path) {
  return ReadSettingString(HKEY_CURRENT_USER, kShortcutPath, path->text, sizeof(path->text)) ==
         ERROR_SUCCESS;
}

void RememberShortcutPath(const char* path) {
  RegKeyHandle key;
  if (key.Open(HKEY_CURRENT_USER, kSettingsKey, kSettingsChange) != ERROR_SUCCESS) return;
  key.SetString(path, kShortcutPath);
  RegFlushKey(key.Get());
}

void DeleteSettings() { UnRegisterKey(kSettingsParent, kSettingsSection); }

void ResetSettings(const char* return_page) {
  DeleteSettings();
  SetRegString(kSettingsKeyUpper, kShortcutName, kStandardShortcutText);
  SetRegString(kSettingsKeyUpper, kShortcutDescribe, kStandardShortcutText);
  if (return_page != nullptr) SetRegString(kSettingsKeyUpper, kReturnPage, return_page);
}

}  // namespace korvat
