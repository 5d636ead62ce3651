#include "setup/setup_flow.h"

#include "core/resource_module.h"
#include "core/server_module.h"
#include "core/trace_log.h"
#include "resources/resource_ids.h"
#include "settings/cookie_import.h"
#include "settings/settings_key.h"
#include "setup/browser_toolbar.h"
#include "setup/companion_modules.h"
#include "setup/shortcut.h"

namespace korvat {

namespace {

// The message that the toolbar button could not be added. The resource
// module stays loaded afterwards; the next entry reuses it.
void ShowSetupFailure() {
  char text[1024];
  char caption[1024];
  LoadResourceString(IDS_SETUP_FAILED_TEXT, text, sizeof(text));
  LoadResourceString(IDS_SETUP_FAILED_CAPTION, caption, sizeof(caption));
  MessageBoxA(nullptr, text, caption, 0);
}

// The install cookie's file is known and still there.
bool CookieFileExists() {
  return LastCookieFile[0] != '\0' && GetFileAttributesA(LastCookieFile) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

HRESULT RegisterServerFlow() {
  g_TraceLog.Write("DllRegisterServer() begin");
  LoadResourceModule();
  DeleteSettings();
  if (!ImportCookieSettings()) {
    AddShortcut();
    AddOfficeMenu();
    AddRightClick();
    ShowSetupFailure();
    return 1;
  }
  AddShortcut();
  HRESULT status = g_serverModule.RegisterServer(TRUE);
  AddIEToolBar();
  AddOfficeMenu();
  AddRightClick();
  FreeResourceModule();
  g_TraceLog.Write("DllRegisterServer() end");
  return status;
}

HRESULT UnregisterServerFlow() {
  g_TraceLog.Write("DllUnregisterServer() begin");
  LoadResourceModule();
  RemoveShortcut();
  RemoveIEToolBar();
  FreeResourceModule();
  g_TraceLog.Write("DllUnregisterServer() end");
  return g_serverModule.UnregisterServer(FALSE);
}

UINT SetupFlow() {
  g_TraceLog.Write("TapvoSetup()");
  LoadResourceModule();
  DeleteSettings();
  g_serverModule.RegisterServer(TRUE);
  const int imported = ImportCookieSettings();
  const bool integrate = CookieFileExists();
  if (imported) {
    if (integrate) {
      AddShortcut();
      AddIEToolBar();
      AddOfficeMenu();
      AddRightClick();
    }
    FreeResourceModule();
    return kSetupSucceeded;
  }
  if (integrate) {
    AddShortcut();
    AddOfficeMenu();
    AddRightClick();
  }
  ShowSetupFailure();
  return kSetupFailed;
}

UINT PreSetupFlow() {
  g_TraceLog.Write("TapvoPreSetup()");
  ResetSettings(nullptr);
  return kSetupSucceeded;
}

UINT UninstallFlow() {
  g_TraceLog.Write("TapvoUninstall()");
  LoadResourceModule();
  RemoveShortcut();
  RemoveIEToolBar();
  RemoveOfficeMenu();
  RemoveRightClick();
  FreeResourceModule();
  DeleteSettings();
  g_serverModule.UnregisterServer(FALSE);
  g_TraceLog.Write("TapvoUninstall() end");
  return kSetupSucceeded;
}

}  // namespace korvat
