// Stand-in for the companion modules nvxMSAI.dll and nvxrmenu.dll: each
// self-registration call is recorded as "<file name> <export>".
#include <windows.h>

#include <cstring>

#include "record.h"

static HRESULT Record(const char* export_name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(CurrentModule(), path, MAX_PATH);
  const char* slash = std::strrchr(path, '\\');
  RecordCall(CurrentModule(), "%s %s", slash != nullptr ? slash + 1 : path, export_name);
  return S_OK;
}

STDAPI DllRegisterServer() { return Record("DllRegisterServer"); }
STDAPI DllUnregisterServer() { return Record("DllUnregisterServer"); }
