// The office application add-ins of nvxMSAI.dll, registered for the current
// user: their classes, ProgIDs, interfaces, the shared type library and one
// add-in key per office application.
#pragma once

namespace korvat {

// Writes (`install` non-zero) or removes the add-ins of Word, PowerPoint,
// Access, Excel and FrontPage, in that order. `module_directory` has no final
// backslash; the module path is not used: the add-ins' server is a sibling.
void RegisterOfficeAddIns(int install, const char* module_directory, const char* module_path);

}  // namespace korvat
