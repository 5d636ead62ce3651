// Stand-in for the DLLs beside the module, recording each call; the builds
// differ in their export sets: the companions (COMPANION, "<file> <export>"),
// one without exports (BARE, its load), and zrtpctl.dll with PD_NEW, ZR_NEW,
// ZR_DELETE and always DllRegisterServer. Instance values name their maker.
#include <windows.h>

#include <cstring>

#include "record.h"

extern "C" {
#ifdef BARE
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) RecordCall("companion_bare loaded");
  return TRUE;
}
#elif defined(COMPANION)
static HRESULT Record(const char* export_name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(CurrentModule(), path, MAX_PATH);
  RecordCall("%s %s", std::strrchr(path, '\\') + 1, export_name);
  return S_OK;
}
__declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return Record("DllRegisterServer"); }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return Record("DllUnregisterServer"); }
#else
#ifdef PD_NEW
__declspec(dllexport) INT_PTR WINAPI PDNewInstance(HWND parent, INT_PTR reserved) {
  RecordCall("PDNewInstance %lld %lld", (long long)(INT_PTR)parent, (long long)reserved);
  return 4201;
}
#endif
#ifdef ZR_NEW
__declspec(dllexport) INT_PTR WINAPI ZRNewInstance(HWND parent) {
  RecordCall("ZRNewInstance %lld", (long long)(INT_PTR)parent);
  return 4202;
}
#endif
#ifdef ZR_DELETE
__declspec(dllexport) void WINAPI ZRDeleteInstance(INT_PTR instance) {
  RecordCall("ZRDeleteInstance %lld", (long long)instance);
}
#endif
__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  RecordCall("DllRegisterServer");
  return S_OK;
}
#endif
}  // extern "C"
