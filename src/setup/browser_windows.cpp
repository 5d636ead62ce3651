#include "setup/browser_windows.h"

#include <cstring>
#include <memory>
#include <vector>

#include "core/module_state.h"
#include "platform/ansi_text.h"
#include "platform/browser_shell.h"
#include "platform/com_ptr.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

// A window that never closes would keep the closing loop going for ever;
// after this many passes the installation goes on with the reopening.
constexpr int kMaxClosingPasses = 10;

constexpr DWORD kBeforePlacementMs = 250;
constexpr DWORD kAfterQuitMs = 100;

bool IsInternetExplorer(BrowserWindow& browser) {
  char full_name[MAX_PATH];
  browser.GetFullName(full_name, sizeof(full_name));
  const char* slash = FindLastBackslash(full_name);
  return slash != nullptr && _stricmp(slash + 1, "IEXPLORE.EXE") == 0;
}

// The browser that hosts the plug-in: its window is an ancestor of the
// plug-in's parent window, or it does not tell its window.
bool IsHostBrowser(BrowserWindow& browser) {
  if (g_hPluginParent == nullptr) return false;
  HWND browser_window = browser.GetHwnd();
  if (browser_window == nullptr) return true;
  HWND desktop = GetDesktopWindow();
  for (HWND ancestor = GetParent(g_hPluginParent); ancestor != nullptr && ancestor != desktop;
       ancestor = GetParent(ancestor)) {
    if (ancestor == browser_window) return true;
  }
  return false;
}

bool ListHoldsUrl(const char* url) {
  for (int i = 0; i < ReopenUrlList.Count(); ++i) {
    if (_stricmp(static_cast<const char*>(ReopenUrlList.At(i)), url) == 0) return true;
  }
  return false;
}

void RememberUrl(const char* url) {
  if (std::strlen(url) <= 2 || ListHoldsUrl(url)) return;
  const size_t size = std::strlen(url) + 1;
  char* copy = new char[size];
  std::memcpy(copy, url, size);
  ReopenUrlList.Add(copy);
}

void RecordAndClose(BrowserWindow& browser, const char* return_page) {
  // The record holds 1023 characters of the address: a longer one is cut
  // here, so that the page reopened and its record agree.
  char location[sizeof(BrowserPlacement::url)];
  browser.GetLocationUrl(location, sizeof(location));
  const bool host = IsHostBrowser(browser);

  auto* record = new BrowserPlacement();
  const char* url = host && std::strlen(return_page) > 2 ? return_page : location;
  RememberUrl(url);
  lstrcpynA(record->url, url, sizeof(record->url));
  Sleep(kBeforePlacementMs);
  if (HWND window = browser.GetHwnd()) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(window, &placement)) record->showCmd = placement.showCmd;
  }
  browser.GetPlace(&record->left, &record->top, &record->width, &record->height);
  PlacementList.Add(record);
  browser.Quit();
  Sleep(kAfterQuitMs);
}

}  // namespace

int ScanIEWindows(int close_and_record, int initialise_com) {
  FlagText return_page;
  ReadReturnPage(&return_page);

  ScopedCoInitialize com(initialise_com != 0);
  // Released before COM is uninitialised.
  std::unique_ptr<ShellWindowList> windows = CurrentBrowserShell().OpenWindowList();
  if (!windows) return 0;
  int count = 0;
  const LONG items = windows->Count();
  for (LONG index = 0; index < items; ++index) {
    std::unique_ptr<BrowserWindow> browser = windows->BrowserAt(index);
    if (!browser || !IsInternetExplorer(*browser)) continue;
    ++count;
    if (close_and_record) RecordAndClose(*browser, return_page.text);
  }
  return count;
}

void ReopenIEWindow(const char* url) {
  ScopedCoInitialize com;
  std::unique_ptr<BrowserWindow> browser = CurrentBrowserShell().OpenNewBrowser();
  if (!browser) return;
  const std::vector<wchar_t> wide_url = WidenAnsi(url);
  if (wide_url.empty()) return;
  browser->Navigate(wide_url.data());
  browser->MakeVisible();

  // Every matching record is applied in turn, so the last one decides.
  for (int i = 0; i < PlacementList.Count(); ++i) {
    const BrowserPlacement* record = static_cast<const BrowserPlacement*>(PlacementList.At(i));
    if (WidenAnsi(record->url) != wide_url) continue;
    if (record->showCmd == SW_SHOWMINIMIZED || record->showCmd == SW_SHOWMAXIMIZED) {
      if (HWND window = browser->GetHwnd()) ShowWindow(window, static_cast<int>(record->showCmd));
    } else {
      browser->SetPlace(record->left, record->top, record->width, record->height);
    }
  }
}

void CycleIEWindows(bool initialise_com) {
  const int com = initialise_com ? 1 : 0;
  int open = ScanIEWindows(0, com);
  for (int pass = 0; open > 1 && pass < kMaxClosingPasses; ++pass) {
    ScanIEWindows(1, com);
    open = ScanIEWindows(0, com);
  }
  // Every window, a single one included, is closed and recorded at least once.
  ScanIEWindows(1, com);
  for (int i = 0; i < ReopenUrlList.Count(); ++i) {
    ReopenIEWindow(static_cast<const char*>(ReopenUrlList.At(i)));
  }
}

void FreeBrowserLists() {
  for (int i = 0; i < PlacementList.Count(); ++i) {
    delete static_cast<BrowserPlacement*>(PlacementList.At(i));
  }
  PlacementList.Empty();
  for (int i = 0; i < ReopenUrlList.Count(); ++i) {
    delete[] static_cast<char*>(ReopenUrlList.At(i));
  }
  ReopenUrlList.Empty();
}

}  // namespace korvat
