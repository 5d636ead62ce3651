// The exported installation and removal entries: thin forwards to the flows.
#include <windows.h>

#include "setup/setup_flow.h"

// The exports stay global, under the names their callers look up; the code
// behind them lives in korvat.
using namespace korvat;

STDAPI DllRegisterServer() { return RegisterServerFlow(); }

STDAPI DllUnregisterServer() { return UnregisterServerFlow(); }

// The installer's handle is not used: the module asks the installer nothing.
extern "C" UINT WINAPI TapvoSetup(DWORD) { return SetupFlow(); }

extern "C" UINT WINAPI TapvoPreSetup(DWORD) { return PreSetupFlow(); }

extern "C" UINT WINAPI TapvoUninstall(DWORD) { return UninstallFlow(); }
