// A scripted shell for the browser window cycling, put in place for its
// lifetime: open windows of chosen programs, pages, places and show states
// (each with a real window, so that window placement works as on the
// platform), windows that never close, folder windows and items that are no
// browsers; and the browser windows opened afresh, with what was done to them.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/browser_shell.h"

// The tests use the module's names as its own code does.
using namespace korvat;

namespace korvat_test {

inline constexpr char kIexplore[] = "C:\\Program Files\\Internet Explorer\\iexplore.exe";

struct ScriptedWindow {
  std::string full_name = kIexplore;
  std::string url;                  // of a window opened afresh: the page it was sent to
  RECT place = {10, 20, 410, 320};  // of a window opened afresh: as last set
  int show = SW_SHOWNORMAL;
  bool never_closes = false;
  bool is_browser = true;  // false: an item without the browser interface
  bool closed = false, visible = false, placed = false;
  int quits = 0;
  HWND window = nullptr;
};

inline HWND CreateScriptedFrame(const RECT& place, int show) {
  static const ATOM frame_class = [] {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = "KorvatScriptedBrowser";
    return RegisterClassA(&window_class);
  }();
  HWND window = CreateWindowA(MAKEINTATOM(frame_class), "browser", WS_OVERLAPPEDWINDOW, place.left,
                              place.top, place.right - place.left, place.bottom - place.top,
                              nullptr, nullptr, nullptr, nullptr);
  if (window != nullptr && show != SW_HIDE) ShowWindow(window, show);
  return window;
}

// One window of the script, open or opened afresh, seen through the browser
// interface.
class ScriptedBrowser : public BrowserWindow {
 public:
  ScriptedBrowser(std::vector<ScriptedWindow>& list, size_t index) : list_(list), index_(index) {}

  void GetFullName(char* out, int size) override { lstrcpynA(out, w().full_name.c_str(), size); }
  void GetLocationUrl(char* out, int size) override { lstrcpynA(out, w().url.c_str(), size); }
  HWND GetHwnd() override { return w().window; }
  void GetPlace(LONG* left, LONG* top, LONG* width, LONG* height) override {
    const RECT& place = w().place;
    *left = place.left;
    *top = place.top;
    *width = place.right - place.left;
    *height = place.bottom - place.top;
  }
  void Quit() override {
    ++w().quits;
    if (w().never_closes) return;
    w().closed = true;
    DestroyWindow(w().window);
    w().window = nullptr;
  }
  void Navigate(const wchar_t* url) override { w().url.assign(url, url + lstrlenW(url)); }
  void MakeVisible() override { w().visible = true; }
  void SetPlace(LONG left, LONG top, LONG width, LONG height) override {
    w().placed = true;
    w().place = RECT{left, top, left + width, top + height};
  }

 private:
  ScriptedWindow& w() { return list_[index_]; }
  std::vector<ScriptedWindow>& list_;
  size_t index_;
};

class ScriptedBrowserShell : public BrowserShell {
 public:
  ScriptedBrowserShell() { SetBrowserShellForTesting(this); }
  ~ScriptedBrowserShell() override {
    SetBrowserShellForTesting(nullptr);
    for (std::vector<ScriptedWindow>* list : {&windows, &opened}) {
      for (ScriptedWindow& w : *list) {
        if (w.window != nullptr) DestroyWindow(w.window);
      }
    }
  }
  void Add(ScriptedWindow window) {
    window.window = CreateScriptedFrame(window.place, window.show);
    windows.push_back(window);
  }
  std::unique_ptr<ShellWindowList> OpenWindowList() override {
    // As on the platform, the collection needs COM on the calling thread.
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (CoGetApartmentType(&type, &qualifier) != S_OK ||
        qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA) {
      return nullptr;
    }
    ++lists_opened;
    return std::make_unique<List>(windows);
  }
  std::unique_ptr<BrowserWindow> OpenNewBrowser() override {
    opened.emplace_back();
    opened.back().window = CreateScriptedFrame(opened.back().place, SW_SHOWNORMAL);
    return std::make_unique<ScriptedBrowser>(opened, opened.size() - 1);
  }

  std::vector<ScriptedWindow> windows, opened;
  int lists_opened = 0;

 private:
  // Every window of the script; a closed one answers as no browser.
  class List : public ShellWindowList {
   public:
    explicit List(std::vector<ScriptedWindow>& windows) : windows_(windows) {}
    LONG Count() override { return static_cast<LONG>(windows_.size()); }
    std::unique_ptr<BrowserWindow> BrowserAt(LONG index) override {
      const ScriptedWindow& window = windows_[static_cast<size_t>(index)];
      if (window.closed || !window.is_browser) return nullptr;
      return std::make_unique<ScriptedBrowser>(windows_, static_cast<size_t>(index));
    }

   private:
    std::vector<ScriptedWindow>& windows_;
  };
};

}  // namespace korvat_test
