// Stand-in for the companion control module zrtpctl.dll, recording each call.
// Variants export "PDNewInstance" (ZRTPCTL_PD_NEW), "ZRNewInstance"
// (ZRTPCTL_ZR_NEW) and "ZRDeleteInstance" (ZRTPCTL_ZR_DELETE); every one
// exports "DllRegisterServer". The instance value tells which function made it.
#include <windows.h>

#include "record.h"

extern "C" {
#ifdef ZRTPCTL_PD_NEW
__declspec(dllexport) INT_PTR WINAPI PDNewInstance(HWND parent, INT_PTR reserved) {
  RecordCall(CurrentModule(), "PDNewInstance %lld %lld", (long long)(INT_PTR)parent,
             (long long)reserved);
  return 4201;
}
#endif
#ifdef ZRTPCTL_ZR_NEW
__declspec(dllexport) INT_PTR WINAPI ZRNewInstance(HWND parent) {
  RecordCall(CurrentModule(), "ZRNewInstance %lld", (long long)(INT_PTR)parent);
  return 4202;
}
#endif
#ifdef ZRTPCTL_ZR_DELETE
__declspec(dllexport) void WINAPI ZRDeleteInstance(INT_PTR instance) {
  RecordCall(CurrentModule(), "ZRDeleteInstance %lld", (long long)instance);
}
#endif
__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  RecordCall(CurrentModule(), "DllRegisterServer");
  return S_OK;
}
}  // extern "C"
