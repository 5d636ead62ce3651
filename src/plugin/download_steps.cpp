#include "plugin/download_steps.h"

#include <windows.h>

#include <cstring>

#include "core/module_state.h"
#include "platform/ansi_text.h"
#include "platform/proc_address.h"
#include "platform/scoped_handle.h"
#include "plugin/host_notify.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

// Shorter texts are placeholders of the host, not pages.
constexpr size_t kMinReturnPageLength = 3;

void StartUninstaller() {
  char path[MAX_PATH];
  if (!GetSiblingPath(kUninstallerFile, path, sizeof(path))) return;
  // Quoted: an unquoted path with a space would start whatever program the
  // part before the space names.
  char command_line[MAX_PATH + 8];
  FormatText(command_line, sizeof(command_line), "\"%s\" /r", path);
  WinExec(command_line, SW_HIDE);
}

void RegisterControlModule() {
  char path[MAX_PATH];
  if (!GetSiblingPath(kControlModuleFile, path, sizeof(path))) return;
  ScopedLibrary control(LoadLibraryA(path));
  using DllRegisterServerFn = HRESULT(WINAPI*)();
  if (auto register_server = GetProcAs<DllRegisterServerFn>(control.Get(), "DllRegisterServer")) {
    register_server();
  }
}

}  // namespace

void PreDownload(const char* return_page) {
  const bool is_page = return_page != nullptr && std::strlen(return_page) >= kMinReturnPageLength;
  ResetSettings(is_page ? return_page : nullptr);
  NotifyHost(kPreDownloadDoneWParam, kPreDownloadDoneLParam);
}

void AfterDownload() {
  StartUninstaller();
  RegisterControlModule();
  NotifyHost(kAfterDownloadDoneWParam, kAfterDownloadDoneLParam);
}

}  // namespace korvat
