// Stand-in for the companion control module zrtpctl.dll. Built in variants
// that export different creation functions:
//   ZRTPCTL_PD_NEW      "PDNewInstance" (parent, reserved)
//   ZRTPCTL_ZR_NEW      "ZRNewInstance" (parent)
//   ZRTPCTL_ZR_DELETE   "ZRDeleteInstance" (instance)
// Every variant exports "DllRegisterServer". Each call is recorded.
#include <windows.h>

#include "record.h"

namespace {
// Instance values that tell the tests which creation function made them.
constexpr INT_PTR kPDInstance = 4201;
constexpr INT_PTR kZRInstance = 4202;
}  // namespace

extern "C" {

#ifdef ZRTPCTL_PD_NEW
__declspec(dllexport) INT_PTR WINAPI PDNewInstance(HWND parent, INT_PTR reserved) {
  RecordCall(CurrentModule(), "PDNewInstance %lld %lld",
             static_cast<long long>(reinterpret_cast<INT_PTR>(parent)),
             static_cast<long long>(reserved));
  return kPDInstance;
}
#endif

#ifdef ZRTPCTL_ZR_NEW
__declspec(dllexport) INT_PTR WINAPI ZRNewInstance(HWND parent) {
  RecordCall(CurrentModule(), "ZRNewInstance %lld",
             static_cast<long long>(reinterpret_cast<INT_PTR>(parent)));
  return kZRInstance;
}
#endif

#ifdef ZRTPCTL_ZR_DELETE
__declspec(dllexport) void WINAPI ZRDeleteInstance(INT_PTR instance) {
  RecordCall(CurrentModule(), "ZRDeleteInstance %lld", static_cast<long long>(instance));
}
#endif

__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  RecordCall(CurrentModule(), "DllRegisterServer");
  return S_OK;
}

}  // extern "C"
