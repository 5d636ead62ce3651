// The browser toolbar button and the per-user registration of the KorvatExec
// class that the button runs, written or removed under HKEY_CURRENT_USER.
#pragma once

namespace korvat {

// `install` non-zero writes both registrations, zero removes them. `folder` is
// the module's directory without a final backslash, `module_path` the
// module's full file name (the class's in-process server).
void SetUserIEButton(int install, const char* folder, const char* module_path);

}  // namespace korvat
