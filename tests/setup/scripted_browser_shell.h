// A scripted shell for the browser window cycling: open windows of chosen
// programs, pages, places and show states (each with a real hidden window, so
// that window placement works as on the platform), a window that never
// closes, folder windows and items that are no browsers; and a record of the
// browser windows opened afresh.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/browser_shell.h"

namespace korvat_test {

inline constexpr char kIexplore[] = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
inline constexpr char kExplorer[] = "C:\\windows\\explorer.exe";

struct ScriptedWindow {
  std::string full_name = kIexplore;
  std::string url;
  RECT place = {10, 20, 410, 320};  // left, top, right, bottom
  int show = SW_SHOWNORMAL;
  bool never_closes = false;
  bool is_browser = true;  // false: an item without the browser interface
  bool hides_hwnd = false;  // the browser gives no window handle
  bool closed = false;
  HWND window = nullptr;
};

// A browser window opened afresh, as the shell saw it used.
struct OpenedBrowser {
  std::wstring url;
  bool visible = false;
  bool placed = false;
  LONG left = 0, top = 0, width = 0, height = 0;
  HWND window = nullptr;
  UINT ShowState() const;
};

class ScriptedBrowserShell : public BrowserShell {
 public:
  ScriptedBrowserShell();
  ~ScriptedBrowserShell() override;

  // Adds an open window; its real window is created at once.
  ScriptedWindow& Add(ScriptedWindow window);
  std::unique_ptr<ShellWindowList> OpenWindowList() override;
  std::unique_ptr<BrowserWindow> OpenNewBrowser() override;

  std::vector<ScriptedWindow>& windows() { return windows_; }
  std::vector<OpenedBrowser>& opened() { return opened_; }
  int quits() const { return quits_; }
  int lists_opened() const { return lists_opened_; }
  bool fail_new_browser = false;

 private:
  friend class ScriptedList;
  friend class ScriptedBrowser;
  std::vector<ScriptedWindow> windows_;
  std::vector<OpenedBrowser> opened_;
  int quits_ = 0;
  int lists_opened_ = 0;
};

// Puts a scripted shell in place for the scope.
class ScopedScriptedShell {
 public:
  ScopedScriptedShell() { SetBrowserShellForTesting(&shell); }
  ~ScopedScriptedShell() { SetBrowserShellForTesting(nullptr); }
  ScriptedBrowserShell shell;
};

}  // namespace korvat_test
