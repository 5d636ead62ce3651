// The browser toolbar button: its extension key, written by the registry
// script and branded from the settings, and the cycling of the open browser
// windows so that the change shows in each of them.
#pragma once

namespace korvat {

// Installs (install non-zero) or removes the button key. Installing gives 1,
// or 0 when the settings do not ask for the button or cannot be read;
// removing always gives 1.
int AddToolbarKey(int install);

// Installs the button and cycles the browser windows, after the notice
// dialog when more than one is open; 1 when the button was installed.
int AddIEToolBar();

// Removes the button and cycles the browser windows with the caller's COM.
void RemoveIEToolBar();

}  // namespace korvat
