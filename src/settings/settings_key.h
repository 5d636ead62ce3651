// The settings key: paths, value names, reader buffer sizes, the one reading
// rule that every reader follows, and what the values mean. The other layers
// ask here and name no value of their own.
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

// The Option text asks for the browser button, without regard to case.
bool OptionWantsButton(const char* option);

// A text read into the buffer size its reader uses.
template <DWORD kSize>
struct SettingText {
  char text[kSize] = {};
};
using PageText = SettingText<kPageBufferSize>;
using FlagText = SettingText<kFlagBufferSize>;

// The user's brand: HasBrand, and BrandTitle when HasBrand is "true".
struct Brand {
  bool branded = false;
  FlagText title;
};
enum class BrandLookup { kNoKey, kMissing, kRead };
// kNoKey when the user's key cannot be opened, kMissing when a value needed
// is missing.
BrandLookup ReadUserBrand(Brand* brand);

// What the desktop shortcut is made from: the page (empty when missing) and
// the brand. False when the user's key cannot be opened, Option asks for no
// shortcut, or a brand value needed is missing.
struct ShortcutSettings {
  PageText page;
  Brand brand;
};
bool ReadShortcutSettings(ShortcutSettings* settings);

// The user's Option asks for the browser button.
bool UserWantsButton();

// The companions that the user switches with a flag.
enum class CompanionFlag { kOfficeMenu, kRightClick };
// The flag is "TRUE" (any letter case) and the user has a meeting page.
bool UserWantsCompanion(CompanionFlag flag);

// The page the button opens: the user's, or the machine's when the user has
// no key. The status of the open or of the reading rule.
LONG ReadButtonPage(PageText* page);

// The client's logon state, kept beside the settings: non-zero when logged on.
bool ClientIsLoggedOn();

// ReturnPage, empty when missing.
void ReadReturnPage(FlagText* page);

// SHORTCUT_PATH: the file the last setup made its shortcut at.
bool ReadShortcutPath(FlagText* path);
void RememberShortcutPath(const char* path);

// The section, entry and value that mark the shortcut files the module
// writes: the file carries them, so they outlive the settings key.
inline constexpr char kShortcutMarkSection[] = "TapvoMeeting";
inline constexpr char kShortcutMarkEntry[] = "MadeBy";
inline constexpr char kShortcutMarkValue[] = "Korvat";

// Deletes the settings key, the machine's and then the user's.
void DeleteSettings();
// The settings a fresh installation starts from: the key deleted, the
// shortcut texts written and, when given, the page to return to.
void ResetSettings(const char* return_page);

}  // namespace korvat
