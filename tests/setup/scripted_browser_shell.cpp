#include "setup/scripted_browser_shell.h"

#include <objbase.h>

namespace korvat_test {

namespace {

const char kWindowClass[] = "KorvatScriptedBrowser";

HWND CreateBrowserFrame(const RECT& place, int show) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = kWindowClass;
    RegisterClassA(&window_class);
    registered = true;
  }
  HWND window = CreateWindowA(kWindowClass, "browser", WS_OVERLAPPEDWINDOW, place.left,
                              place.top, place.right - place.left, place.bottom - place.top,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr && show != SW_HIDE) ShowWindow(window, show);
  return window;
}

void CopyOut(const std::string& text, char* out, int size) {
  lstrcpynA(out, text.c_str(), size);
}

}  // namespace

UINT OpenedBrowser::ShowState() const {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (window == nullptr || !GetWindowPlacement(window, &placement)) return 0;
  return placement.showCmd;
}

// One open window of the script, seen through the browser interface.
class ScriptedBrowser : public BrowserWindow {
 public:
  ScriptedBrowser(ScriptedBrowserShell& shell, size_t index) : shell_(shell), index_(index) {}
  ScriptedWindow& w() { return shell_.windows_[index_]; }

  void GetFullName(char* out, int size) override { CopyOut(w().full_name, out, size); }
  void GetLocationUrl(char* out, int size) override { CopyOut(w().url, out, size); }
  HWND GetHwnd() override { return w().hides_hwnd ? nullptr : w().window; }
  void GetPlace(LONG* left, LONG* top, LONG* width, LONG* height) override {
    *left = w().place.left;
    *top = w().place.top;
    *width = w().place.right - w().place.left;
    *height = w().place.bottom - w().place.top;
  }
  void Quit() override {
    ++shell_.quits_;
    if (w().never_closes) return;
    w().closed = true;
    if (w().window != nullptr) DestroyWindow(w().window);
    w().window = nullptr;
  }
  void Navigate(const wchar_t*) override {}
  void MakeVisible() override {}
  void SetPlace(LONG, LONG, LONG, LONG) override {}

 private:
  ScriptedBrowserShell& shell_;
  size_t index_;
};

// A browser window opened afresh.
class OpenedScriptedBrowser : public BrowserWindow {
 public:
  OpenedScriptedBrowser(ScriptedBrowserShell& shell, size_t index) : shell_(shell), index_(index) {}
  OpenedBrowser& b() { return shell_.opened()[index_]; }

  void GetFullName(char* out, int size) override { CopyOut(kIexplore, out, size); }
  void GetLocationUrl(char* out, int size) override { CopyOut("", out, size); }
  HWND GetHwnd() override { return b().window; }
  void GetPlace(LONG*, LONG*, LONG*, LONG*) override {}
  void Quit() override {}
  void Navigate(const wchar_t* url) override { b().url = url; }
  void MakeVisible() override { b().visible = true; }
  void SetPlace(LONG left, LONG top, LONG width, LONG height) override {
    b().placed = true;
    b().left = left;
    b().top = top;
    b().width = width;
    b().height = height;
  }

 private:
  ScriptedBrowserShell& shell_;
  size_t index_;
};

class ScriptedList : public ShellWindowList {
 public:
  explicit ScriptedList(ScriptedBrowserShell& shell) : shell_(shell) {
    for (size_t i = 0; i < shell_.windows_.size(); ++i) {
      if (!shell_.windows_[i].closed) open_.push_back(i);
    }
  }
  LONG Count() override { return static_cast<LONG>(open_.size()); }
  std::unique_ptr<BrowserWindow> BrowserAt(LONG index) override {
    size_t at = open_[static_cast<size_t>(index)];
    if (!shell_.windows_[at].is_browser) return nullptr;
    return std::unique_ptr<BrowserWindow>(new ScriptedBrowser(shell_, at));
  }

 private:
  ScriptedBrowserShell& shell_;
  std::vector<size_t> open_;
};

ScriptedBrowserShell::ScriptedBrowserShell() { windows_.reserve(64); }

ScriptedBrowserShell::~ScriptedBrowserShell() {
  for (ScriptedWindow& w : windows_) {
    if (w.window != nullptr) DestroyWindow(w.window);
  }
  for (OpenedBrowser& b : opened_) {
    if (b.window != nullptr) DestroyWindow(b.window);
  }
}

ScriptedWindow& ScriptedBrowserShell::Add(ScriptedWindow window) {
  window.window = CreateBrowserFrame(window.place, window.show);
  windows_.push_back(window);
  return windows_.back();
}

std::unique_ptr<ShellWindowList> ScriptedBrowserShell::OpenWindowList() {
  // As on the platform, the collection needs COM on the calling thread.
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (CoGetApartmentType(&type, &qualifier) != S_OK ||
      qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA) {
    return nullptr;
  }
  ++lists_opened_;
  return std::unique_ptr<ShellWindowList>(new ScriptedList(*this));
}

std::unique_ptr<BrowserWindow> ScriptedBrowserShell::OpenNewBrowser() {
  if (fail_new_browser) return nullptr;
  OpenedBrowser opened;
  opened.window = CreateBrowserFrame(RECT{0, 0, 300, 200}, SW_SHOWNORMAL);
  opened_.push_back(opened);
  return std::unique_ptr<BrowserWindow>(new OpenedScriptedBrowser(*this, opened_.size() - 1));
}

}  // namespace korvat_test
