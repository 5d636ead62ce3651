// The login information functions: store the user's site and name as the
// meeting page, and split the stored page back into site and name, seeding
// the user's settings from the machine's when he has none.
#pragma once

#include <windows.h>

// Copies MeetingPage, Option, RightClick, OfficeMenu, HasBrand and BrandTitle
// from the machine's settings key to the current user's; a value the machine
// lacks leaves the user's as it is.
void CopyMachineSettings();

extern "C" {
int WINAPI TapvoSetLoginInfo(const char* site, const char* name);
int WINAPI TapvoGetLoginInfo(char* site, char* name);
}
