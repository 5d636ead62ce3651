// The office application add-ins of nvxMSAI.dll, registered for the current
// user: their classes, ProgIDs, interfaces, the shared type library and one
// add-in key per office application.
#pragma once

namespace korvat {

// Each writer takes `install` (non-zero writes, zero removes), the module's
// directory without a final backslash and the module path (not used).
void RegisterOfficeAddIns(int install, const char* module_directory, const char* module_path);

void RegisterWordAddIn(int install, const char* module_directory, const char* module_path);
void RegisterPowerPointAddIn(int install, const char* module_directory, const char* module_path);
void RegisterAccessAddIn(int install, const char* module_directory, const char* module_path);
void RegisterExcelAddIn(int install, const char* module_directory, const char* module_path);
void RegisterFrontPageAddIn(int install, const char* module_directory, const char* module_path);

}  // namespace korvat
