// The installation and removal flows behind DllRegisterServer,
// DllUnregisterServer, TapvoSetup, TapvoPreSetup and TapvoUninstall.
#pragma once

#include <windows.h>

namespace korvat {

// The COM registration's status when the cookie import succeeded, else 1.
HRESULT RegisterServerFlow();
// The status of the COM unregistration.
HRESULT UnregisterServerFlow();
// 0, or 1603 when the cookie import failed.
UINT SetupFlow();
// Always 0.
UINT PreSetupFlow();
// Always 0.
UINT UninstallFlow();

// What TapvoSetup and TapvoUninstall return to the installer.
inline constexpr UINT kSetupSucceeded = 0;
inline constexpr UINT kSetupFailed = 1603;  // a fatal error of the installation

}  // namespace korvat
