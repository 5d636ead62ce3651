// A companion module without the self-registration exports: loading it
// records the load, so a test sees that it was loaded at all.
#include <windows.h>

#include "record.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) RecordCall(instance, "companion_bare loaded");
  return TRUE;
}
