// The module's entry point: process attach and detach.
#include <windows.h>

#include "core/module_state.h"
#include "core/server_module.h"
#include "core/trace_log.h"
#include "plugin/plugin_window.h"

// DllMain stays global, where the loader looks for it; the module's state
// lives in korvat.
using namespace korvat;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      ModuleInstance = instance;
      // The COM server state comes first, from ModuleInstance.
      g_serverModule.Init(g_classTable, instance);
      DisableThreadLibraryCalls(instance);
      g_ZRNotifyMsg = RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
      g_TraceLog.Init();
      g_TraceLog.SetEnabled(g_TraceLog.ReadSwitch());
      g_TraceLog.Write("DllMain()---DLL_PROCESS_ATTACH!");
      break;
    case DLL_PROCESS_DETACH:
      g_TraceLog.Write("DllMain()---DLL_PROCESS_DETACH!");
      g_serverModule.Term();
      // A DLL's window classes outlive it unless it removes them; at process
      // exit there is nothing left to protect.
      if (reserved == nullptr) PluginWindow::UnregisterWindowClass();
      // Last: its "End Run" banner closes every run.
      g_TraceLog.End();
      break;
    default:
      break;
  }
  return TRUE;
}
