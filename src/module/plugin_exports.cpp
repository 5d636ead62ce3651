// The exports that a download/installer host calls. Each traces its begin
// and end and forwards to the plug-in code; the download steps return 0.
//
// Every argument is a 32-bit value on the 32-bit build. Values that may carry
// a handle or a pointer are pointer-sized, so the 64-bit build passes them
// whole.
#include <windows.h>

#include "core/trace_log.h"
#include "plugin/download_steps.h"
#include "plugin/plugin_lifecycle.h"

// The exports stay global, under the names their callers look up; the code
// behind them lives in korvat.
using namespace korvat;

extern "C" {

void* WINAPI ZRNewInstance(HWND hParent) {
  g_TraceLog.Write("ZRNewInstance() begin");
  void* instance = NewPluginInstance(hParent);
  g_TraceLog.Write("ZRNewInstance() end");
  return instance;
}

void WINAPI ZRDeleteInstance(void* pInstance) {
  g_TraceLog.Write("ZRDeleteInstance() begin");
  DeletePluginInstance(pInstance);
  g_TraceLog.Write("ZRDeleteInstance() end");
}

void* WINAPI InitControl(const char* szHostWnd) {
  g_TraceLog.Write("InitControl() begin");
  void* loader = InitControlLoader(szHostWnd);
  g_TraceLog.Write("InitControl() end");
  return loader;
}

void WINAPI ExitControl(const char* szLoader) {
  g_TraceLog.Write("ExitControl() begin");
  ExitControlLoader(szLoader);
  g_TraceLog.Write("ExitControl() end");
}

// a4 is the return page; a5 and a6 are texts the module does not use.
int WINAPI AsPreDownload(INT_PTR, INT_PTR, INT_PTR, const char* a4, const char*, const char*) {
  g_TraceLog.Write("AsPreDownload() begin");
  PreDownload(a4);
  g_TraceLog.Write("As PreDownload() end");
  return 0;
}

int WINAPI AsDownload(INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR,
                      INT_PTR) {
  return 0;
}

int WINAPI AsExitDownload() { return 0; }

int WINAPI AsAfterDownload(INT_PTR) {
  g_TraceLog.Write("AsAfterDownload() begin");
  AfterDownload();
  g_TraceLog.Write("AsAfterDownload() end");
  return 0;
}

// The three steps in one call, without a return page.
int WINAPI AsSetup(INT_PTR a1, INT_PTR a2, INT_PTR a3, INT_PTR a4, INT_PTR a5, INT_PTR a6,
                   INT_PTR a7, INT_PTR a8, INT_PTR a9, INT_PTR a10, INT_PTR, INT_PTR, INT_PTR,
                   INT_PTR, INT_PTR, INT_PTR) {
  g_TraceLog.Write("AsSetup() begin");
  AsPreDownload(a1, 0, 0, "", "", "");
  AsDownload(a2, a3, a4, a5, a6, a7, a8, a9, a10);
  AsAfterDownload(a1);
  g_TraceLog.Write("AsSetup() end");
  return 0;
}

}  // extern "C"
