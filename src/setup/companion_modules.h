// The companion modules beside this one, nvxMSAI.dll (office menus) and
// nvxrmenu.dll (shell right-click menu), register and unregister themselves
// through their own self-registration exports; these load, call and free them.
#pragma once

namespace korvat {

// Each returns 1 when the companion was loaded (and its export called when it
// has one), 0 otherwise. The two Add operations run only when the user's
// OfficeMenu or RightClick setting is "TRUE" and a MeetingPage is present.
int AddOfficeMenu();
int AddRightClick();
int RemoveOfficeMenu();
int RemoveRightClick();

}  // namespace korvat
