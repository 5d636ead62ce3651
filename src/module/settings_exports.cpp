// The exported option and login information entries: thin forwards to the
// settings functions.
#include <windows.h>

#include "settings/login_info.h"
#include "settings/option_functions.h"

extern "C" int WINAPI TapvoSetOption(DWORD flags) { return korvat::SetOptions(flags); }

extern "C" int WINAPI TapvoGetOption(DWORD* flags) { return korvat::GetOptions(flags); }

extern "C" int WINAPI TapvoRemoveAddIn(DWORD flags) { return korvat::RemoveAddIns(flags); }

extern "C" int WINAPI TapvoSetLoginInfo(const char* site, const char* name) {
  return korvat::SetLoginInfo(site, name);
}

extern "C" int WINAPI TapvoGetLoginInfo(char* site, char* name) {
  return korvat::GetLoginInfo(site, name);
}
