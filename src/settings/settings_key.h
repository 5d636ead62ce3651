// The settings key: paths, value names, reader buffer sizes and the one
// reading rule that every reader follows.
#pragma once

#include <windows.h>

namespace korvat {

inline constexpr char kSettingsKey[] = "Software\\Nuvix\\TapvoMeeting";
// The same key as the writers of the shortcut texts spell it.
inline constexpr char kSettingsKeyUpper[] = "SOFTWARE\\Nuvix\\TapvoMeeting";
inline constexpr char kLogonKey[] = "Software\\Nuvix\\TapvoMeeting\\Logon";
// The form used when the whole key is deleted.
inline constexpr char kSettingsParent[] = "SOFTWARE\\Nuvix";
inline constexpr char kSettingsSection[] = "TapvoMeeting";

// Value names.
inline constexpr char kMeetingPage[] = "MeetingPage";
inline constexpr char kSiteName[] = "SiteName";
inline constexpr char kUserPrivilege[] = "UserPrivilege";
inline constexpr char kOption[] = "Option";
inline constexpr char kRightClick[] = "RightClick";
inline constexpr char kOfficeMenu[] = "OfficeMenu";
inline constexpr char kHasBrand[] = "HasBrand";
inline constexpr char kBrandTitle[] = "BrandTitle";
inline constexpr char kShortcutPath[] = "SHORTCUT_PATH";
inline constexpr char kShortcutName[] = "ShortcutName";
inline constexpr char kShortcutDescribe[] = "ShortcutDescribe";
inline constexpr char kReturnPage[] = "ReturnPage";
inline constexpr char kInstalled[] = "INSTALLED";
inline constexpr char kLogonState[] = "LogonState";

// What ShortcutName and ShortcutDescribe hold.
inline constexpr char kStandardShortcutText[] = "Start Nuvix Tapvo Meeting";

// Reader buffer sizes, in bytes.
inline constexpr DWORD kPageBufferSize = 1024;  // MeetingPage for the button, shortcut, companions
inline constexpr DWORD kLoginPageBufferSize =
    2048;  // MeetingPage and SiteName for the login reader
inline constexpr DWORD kFlagBufferSize =
    260;  // Option, RightClick, OfficeMenu, HasBrand, BrandTitle, ...
inline constexpr DWORD kPrivilegeBufferSize = 256;  // UserPrivilege

// Access masks used on the settings key.
inline constexpr REGSAM kSettingsRead = KEY_READ;                // 0x20019
inline constexpr REGSAM kSettingsChange = KEY_READ | KEY_WRITE;  // 0x2001F

// The reading rule: the value is queried into `buffer`, zeroed first. A failed
// query or a value that does not fit `size` bytes with its terminating zero
// counts as missing: the buffer is left empty and the status is not
// ERROR_SUCCESS. The value's type is not looked at.
LONG QuerySettingString(HKEY key, const char* value_name, char* buffer, DWORD size);

// Opens the settings key under `root` with KEY_READ, applies the reading rule
// and closes the key again. A key that cannot be opened counts as missing.
LONG ReadSettingString(HKEY root, const char* value_name, char* buffer, DWORD size);

// MeetingPage by the reading rule, and missing as well (ERROR_INVALID_DATA,
// the buffer empty) when it holds a control byte: no page the module opens
// or writes into a shortcut carries a line break.
LONG QueryPageSetting(HKEY key, char* page, DWORD size);

// Flag texts compare without regard to case.
bool TextIsTrue(const char* text);

}  // namespace korvat
