// The option flags that TapvoSetOption, TapvoGetOption and TapvoRemoveAddIn
// take and report, on their own so that korvatctl can name them too.
#pragma once

#include <windows.h>

namespace korvat {

// Other bits are ignored.
inline constexpr DWORD OPTION_SETTINGS_PRESENT = 0x1;  // only reported
inline constexpr DWORD OPTION_OFFICE_MENU = 0x2;
inline constexpr DWORD OPTION_BROWSER_BUTTON = 0x4;
inline constexpr DWORD OPTION_RIGHT_CLICK = 0x8;

}  // namespace korvat
