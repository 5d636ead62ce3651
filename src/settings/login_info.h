// The login information functions: store the user's site and name as the
// meeting page, and split the stored page back into site and name, seeding
// the user's settings from the machine's when he has none.
#pragma once

#include <windows.h>

namespace korvat {

// Copies MeetingPage, Option, RightClick, OfficeMenu, HasBrand and BrandTitle
// from the machine's settings key to the current user's; a value the machine
// lacks leaves the user's as it is.
void CopyMachineSettings();

// TapvoSetLoginInfo: stores the meeting page built from `site` and `name`;
// -1 when either is null or the page cannot be built.
int SetLoginInfo(const char* site, const char* name);
// TapvoGetLoginInfo: splits the stored meeting page into `site` and `name`;
// -1 when either is null or no page is stored.
int GetLoginInfo(char* site, char* name);

}  // namespace korvat
