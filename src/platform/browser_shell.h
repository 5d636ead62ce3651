// The shell's open browser windows, and new browser windows, as the browser
// toolbar installation sees them. The real shell answers through its window
// collection and the browser automation object; tests put a scripted shell in
// its place, since the platform they run on has no browser windows.
#pragma once

#include <windows.h>

#include <memory>

namespace korvat {

// One browser window: an item of the shell's window collection that is a
// browser, or a browser window opened afresh.
class BrowserWindow {
 public:
  virtual ~BrowserWindow() = default;
  // The program file behind the window, ANSI; empty when it gives none.
  virtual void GetFullName(char* out, int size) = 0;
  // The address it shows, ANSI and cut to fit `size`; empty when it gives none.
  virtual void GetLocationUrl(char* out, int size) = 0;
  // Its top-level window, or null.
  virtual HWND GetHwnd() = 0;
  // Each value that the browser does not give stays as it was.
  virtual void GetPlace(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
  virtual void Quit() = 0;
  virtual void Navigate(const wchar_t* url) = 0;
  virtual void MakeVisible() = 0;
  virtual void SetPlace(LONG left, LONG top, LONG width, LONG height) = 0;
};

// The shell's collection of open windows, browsers and folders alike.
class ShellWindowList {
 public:
  virtual ~ShellWindowList() = default;
  virtual LONG Count() = 0;
  // The item at `index` when it is a browser, else null.
  virtual std::unique_ptr<BrowserWindow> BrowserAt(LONG index) = 0;
};

class BrowserShell {
 public:
  virtual ~BrowserShell() = default;
  // The open windows; null when the collection cannot be had (for example on
  // a thread without COM).
  virtual std::unique_ptr<ShellWindowList> OpenWindowList() = 0;
  // A new browser window, or null.
  virtual std::unique_ptr<BrowserWindow> OpenNewBrowser() = 0;
};

// The shell in use: the platform's own unless a test has put another in place.
BrowserShell& CurrentBrowserShell();
// Puts `shell` in place of the platform's own; null restores it.
void SetBrowserShellForTesting(BrowserShell* shell);

}  // namespace korvat
