// The shell's right-click menu entry for every file type: the context-menu
// handler of nvxrmenu.dll, its class and ProgIDs, for the current user.
#pragma once

namespace korvat {

// `install` non-zero writes, zero removes; `module_directory` is the module's
// directory without a final backslash.
void RegisterRightMenu(int install, const char* module_directory);

}  // namespace korvat
