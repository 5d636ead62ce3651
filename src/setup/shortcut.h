// The desktop Internet shortcut that opens the user's meeting page: created
// when the user's Option asks for it, remembered in SHORTCUT_PATH and marked
// in its own file as the module's. The standard name and the marked files are
// the module's to write over and delete; a file of the user's own never is.
#pragma once

#include <windows.h>

#include <cstddef>

namespace korvat {

// 1 when it wrote the shortcut file (and deleted the module's earlier ones
// under other names), 0 when a setting, the name, the desktop folder or the
// shell stopped it.
int AddShortcut();

// Deletes the standard-named file, the module's marked shortcuts on the
// desktop and the file SHORTCUT_PATH names when it is one of them. 1 when
// SHORTCUT_PATH was found and its file's deletion attempted.
int RemoveShortcut();

// Writes an Internet shortcut file at `path` through the shell's Internet
// shortcut object. The status of the last shell call made.
HRESULT CreateUrlShortcut(const char* url, const char* path, const char* description,
                          const char* icon_file, int icon_index);

// The user's desktop directory into `folder` (MAX_PATH bytes).
bool GetDesktopFolder(char* folder);

}  // namespace korvat
