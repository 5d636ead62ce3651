#include "setup/browser_toolbar.h"

#include <windows.h>

#include <cstring>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "core/setup_notice_dialog.h"
#include "core/trace_log.h"
#include "platform/ansi_text.h"
#include "platform/reg_key_handle.h"
#include "registration/registry_resource.h"
#include "resources/module_ids.h"
#include "resources/resource_ids.h"
#include "settings/settings_key.h"
#include "setup/browser_windows.h"

namespace korvat {

namespace {

constexpr DWORD kAfterReopenInstallMs = 100;
constexpr DWORD kAfterReopenRemoveMs = 300;

// An icon reference: the resource module's path, a comma and the icon number.
// Without a path the script's own icons stay: ",203" would name no file.
void SetIcon(RegKeyHandle& key, const char* value_name, int icon) {
  if (ResourceModulePath[0] == '\0') return;
  char reference[MAX_PATH + 16];
  FormatText(reference, sizeof(reference), "%s,%d", ResourceModulePath, icon);
  key.SetString(reference, value_name);
}

void WriteOverrides(const Brand& brand) {
  RegKeyHandle button;
  if (button.Open(HKEY_CURRENT_USER, kButtonKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return;
  if (!brand.branded) {
    SetIcon(button, "HotIcon", IDI_BUTTON_HOT);
    SetIcon(button, "Icon", IDI_BUTTON);
    return;
  }
  button.SetString(brand.title.text, "MenuStatusBar");
  button.SetString(brand.title.text, "MenuText");
  button.SetString(brand.title.text, "ButtonText");
  SetIcon(button, "HotIcon", IDI_BRAND_HOT);
  SetIcon(button, "Icon", IDI_BRAND);
  RegFlushKey(button.Get());
}

}  // namespace

int AddToolbarKey(int install) {
  g_TraceLog.Write("AddToolbarKey()");
  if (!install) {
    RunRegistryResource(IDR_TOOLBAR_BUTTON, false);
    return 1;
  }

  if (!UserWantsButton()) return 0;
  RunRegistryResource(IDR_TOOLBAR_BUTTON, true);
  Brand brand;
  const BrandLookup lookup = ReadUserBrand(&brand);
  if (lookup == BrandLookup::kNoKey) return 0;
  if (lookup == BrandLookup::kRead) WriteOverrides(brand);
  return 1;
}

int AddIEToolBar() {
  g_TraceLog.Write("AddIEToolBar()");
  if (!AddToolbarKey(1)) return 0;
  if (ScanIEWindows(0, 1) > 1) {
    SetupNoticeDialog dialog;
    dialog.DoModal(g_hHostWnd);
  }
  CycleIEWindows(true);
  Sleep(kAfterReopenInstallMs);
  FreeBrowserLists();
  return 1;
}

void RemoveIEToolBar() {
  AddToolbarKey(0);
  CycleIEWindows(false);
  Sleep(kAfterReopenRemoveMs);
  FreeBrowserLists();
}

}  // namespace korvat
