// The browser toolbar button: its key, its notice, and the browser windows cycled in a script.
#include "setup/browser_toolbar.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/module_state.h"
#include "core/setup_notice_dialog.h"
#include "harness/test_support.h"
#include "platform/browser_shell.h"
#include "platform/com_ptr.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const RECT kPlace = {10, 20, 410, 320};
enum Kind { kBrowser, kFolder, kNotABrowser, kNeverCloses };

// Popups: no minimum size is forced on them.
HWND Frame(const RECT& r, DWORD style) {
  return CreateWindowA("STATIC", "browser", WS_POPUP | style, r.left, r.top, r.right - r.left,
                       r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

// A real window, so that placement works as on the platform; null once quit.
struct Window {
  std::string url;
  Kind kind;
  HWND window;
  int quits;
};
Window Ie(const std::string& url, Kind kind = kBrowser, RECT at = kPlace, DWORD s = WS_VISIBLE) {
  return {url, kind, Frame(at, s), 0};
}

struct Browser : BrowserWindow {
  explicit Browser(Window& w) : w(w) {}
  void GetFullName(char* out, int size) override {
    lstrcpynA(out, w.kind == kFolder ? "C:\\windows\\explorer.exe" : "C:\\ie\\iexplore.exe", size);
  }
  void GetLocationUrl(char* out, int size) override { lstrcpynA(out, w.url.c_str(), size); }
  HWND GetHwnd() override { return w.window; }
  void GetPlace(LONG* left, LONG* top, LONG* width, LONG* height) override {
    RECT r;
    GetWindowRect(w.window, &r);
    *left = r.left, *top = r.top, *width = r.right - r.left, *height = r.bottom - r.top;
  }
  void Quit() override {
    ++w.quits;
    if (w.kind != kNeverCloses && DestroyWindow(w.window)) w.window = nullptr;
  }
  void Navigate(const wchar_t* url) override { w.url.assign(url, url + lstrlenW(url)); }
  void MakeVisible() override { ShowWindow(w.window, SW_SHOW); }
  void SetPlace(LONG left, LONG top, LONG width, LONG height) override {
    MoveWindow(w.window, left, top, width, height, FALSE);
  }
  Window& w;
};

struct List : ShellWindowList {
  explicit List(std::deque<Window>& windows) : windows(windows) {}
  LONG Count() override { return static_cast<LONG>(windows.size()); }
  std::unique_ptr<BrowserWindow> BrowserAt(LONG index) override {
    Window& w = windows[static_cast<size_t>(index)];
    return w.window && w.kind != kNotABrowser ? std::make_unique<Browser>(w) : nullptr;
  }
  std::deque<Window>& windows;
};

// Put in place for its lifetime: the open windows, and those opened afresh.
struct Shell : BrowserShell {
  explicit Shell(std::vector<Window> open = {}) : windows(open.begin(), open.end()) {
    SetBrowserShellForTesting(this);
  }
  ~Shell() override {
    SetBrowserShellForTesting(nullptr);
    for (const Window& w : windows) DestroyWindow(w.window);
    for (const Window& w : opened) DestroyWindow(w.window);
  }
  std::unique_ptr<ShellWindowList> OpenWindowList() override {
    // As on the platform, the collection needs COM on the calling thread.
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (CoGetApartmentType(&type, &qualifier) != S_OK || qualifier == APTTYPEQUALIFIER_IMPLICIT_MTA)
      return nullptr;
    return std::make_unique<List>(windows);
  }
  std::unique_ptr<BrowserWindow> OpenNewBrowser() override {
    opened.push_back({"", kBrowser, Frame(kPlace, 0), 0});
    return std::make_unique<Browser>(opened.back());
  }
  std::deque<Window> windows, opened;  // references to them stay valid
};

void Set(const char* name, const char* value) {
  if (value) SetStringValue(HKEY_CURRENT_USER, kSettingsKey, name, value);
}

void Clean() {
  for (const char* key : {kSettingsKey, kButtonKey}) DeleteKeyTree(HKEY_CURRENT_USER, key);
}

// Each notice: caption, owner, place and style noted, then the next way a user closes it posted.
std::string g_notices;
void CALLBACK EndNotice(HWND notice, UINT, UINT_PTR, DWORD) {
  g_notices += "unclosed;";
  EndDialog(notice, 1);
}
LRESULT CALLBACK OnNotice(int code, WPARAM wparam, LPARAM lparam) {
  static const std::pair<UINT, WPARAM> kClosers[] = {
      {WM_COMMAND, IDOK}, {WM_KEYDOWN, VK_ESCAPE}, {WM_SYSCOMMAND, SC_CLOSE}};
  static int shown = 0;
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION && call->message == WM_INITDIALOG) {
    HWND notice = call->hwnd;
    char caption[64] = {};
    RECT r;
    GetWindowTextA(notice, caption, sizeof(caption));
    GetWindowRect(notice, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const bool centred = width > 0 && r.left == (GetSystemMetrics(SM_CXSCREEN) - width) / 2 &&
                         r.top == (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    g_notices += std::string(caption) +
                 (GetWindow(notice, GW_OWNER) == g_hHostWnd ? " owned" : "") +
                 (centred ? " centred" : "") +
                 (GetWindowLongA(notice, GWL_EXSTYLE) & WS_EX_TOPMOST ? " topmost;" : ";");
    const auto& closer = kClosers[shown++ % 3];
    PostMessageA(notice, closer.first, closer.second, 0);
    SetTimer(notice, 1, 5000, EndNotice);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

class BrowserToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    Clean();
    LoadResourceModule();  // records the path of zrtpres.dll beside the copy
    g_notices.clear();
  }
  void TearDown() override {
    UnhookWindowsHookEx(hook_);
    g_hPluginParent = g_hHostWnd = nullptr;
    Clean();
  }
  ModuleCopy module_;
  HHOOK hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, OnNotice, nullptr, GetCurrentThreadId());
};

TEST_F(BrowserToolbarTest, ButtonKeyIsWrittenByScriptAndBrandedWhenTheOptionAsks) {
  const std::string own = module_.folder().File("Korvat.dll") + ",";
  const std::string res = module_.folder().File("zrtpres.dll") + ",";
  const std::string text = "Start Nuvix Tapvo Meeting";
  auto button = [](const std::string& hot, const std::string& icon, const std::string& text) {
    return hot + "|" + icon + "|" + text + "|" + text + "|";
  };
  const std::string none = button("<missing>", "<missing>", "<missing>");
  const struct {
    const char *option, *has_brand, *brand_title;  // null: missing
    std::string button;                            // HotIcon|Icon|ButtonText|MenuText|
  } cases[] = {
      {nullptr, "false", nullptr, none},
      {"desktop", "false", nullptr, none},
      {"IEdesktop", nullptr, nullptr, button(own + "203", own + "204", text)},
      {"ie", "false", nullptr, button(res + "203", res + "204", text)},
      {"ie", "TRUE", "MyBrand", button(res + "211", res + "212", "MyBrand")},
      {"ie", "true", nullptr, button(own + "203", own + "204", text)},  // branded, no title
  };
  TraceCapture trace("browser_toolbar_trace");
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Clean();
    Shell shell({Ie("http://a.example/")});
    Set(kOption, c.option), Set(kHasBrand, c.has_brand), Set(kBrandTitle, c.brand_title);
    AddIEToolBar();
    EXPECT_EQ(trace.TakeMessages(),
              (std::vector<std::string>{"AddIEToolBar()", "AddToolbarKey()"}));
    std::string read;
    for (const char* name : {"HotIcon", "Icon", "ButtonText", "MenuText"}) {
      read += ReadStringValue(HKEY_CURRENT_USER, kButtonKey, name) + "|";
    }
    EXPECT_EQ(read, c.button);
    EXPECT_EQ(shell.windows[0].quits > 0, c.button != none);  // no button: windows left alone
  }
}

// A reopened window: its page, how it is shown, and where unless at kPlace.
std::string Reopened(const Window& w) {
  RECT r;
  GetWindowRect(w.window, &r);
  const std::string page = w.url + (IsWindowVisible(w.window) ? "" : " hidden");
  if (IsZoomed(w.window)) return page + " maximised";
  if (EqualRect(&r, &kPlace)) return page;
  char at[64];
  wsprintfA(at, " at %ld,%ld %ldx%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return page + at;
}

// The open windows, the return page (for the plug-in's window, showing `own`), the notice, and
// what is reopened.
TEST_F(BrowserToolbarTest, BrowsersAreClosedAndReopened) {
  const std::string a = "http://a.example/", b = "http://b.example/", own = "http://own.example/";
  const std::string back = "http://return.example/", sm = "http://same.example/";
  const std::string long_url = "http://long.example/" + std::string(2000, 'x');
  const std::string F = "http://First.example/", f = "http://first.example/";
  const RECT p1 = {1, 2, 101, 202}, p2 = {5, 6, 305, 406}, p3 = {7, 8, 107, 208},
             p4 = {9, 9, 109, 209};
  const struct {
    std::vector<Window> windows;
    const char* return_page;
    bool notice;
    std::vector<std::string> reopened;
  } cases[] = {
      // The host reopens at the return page, unless that is too short.
      {{Ie(own)}, back.c_str(), false, {back}},
      {{Ie(own)}, "ab", false, {own}},
      {{Ie(a), Ie(b), Ie(own)}, back.c_str(), true, {a, b, back}},
      {{Ie(a, kBrowser, kPlace, WS_VISIBLE | WS_MAXIMIZE)}, nullptr, false, {a + " maximised"}},
      // A page once, placed as the last closed; pages equal but for case as the first.
      {{Ie(sm, kBrowser, p1), Ie(sm, kBrowser, p2)}, nullptr, true, {sm + " at 5,6 300x400"}},
      {{Ie(F, kBrowser, p3), Ie(f, kBrowser, p4)}, nullptr, true, {F + " at 7,8 100x200"}},
      {{Ie("ab"), Ie(a)}, nullptr, true, {a}},
      {{Ie("file:///C:/", kFolder), Ie("", kNotABrowser), Ie(a)}, nullptr, false, {a}},
      {{Ie(long_url)}, nullptr, false, {long_url.substr(0, 1023)}},
      // Two, so that the closing loop could run for ever.
      {{Ie(a, kNeverCloses), Ie(b, kNeverCloses)}, nullptr, true, {a, b}},
  };
  g_hHostWnd = Frame(kPlace, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows[0].url.substr(0, 30));
    Clean();
    Shell shell(c.windows);
    Set(kOption, "ie"), Set(kReturnPage, c.return_page);
    const Window& last = shell.windows.back();  // the plug-in's, when it shows `own`
    g_hPluginParent = last.url != own ? nullptr
                                      : CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 9, 9,
                                                      last.window, nullptr, nullptr, nullptr);
    g_notices.clear();
    AddIEToolBar();
    EXPECT_EQ(g_notices, c.notice ? "Nuvix Tapvo Meeting Setup owned centred topmost;" : "");
    std::vector<std::string> reopened;
    for (const Window& w : shell.opened) reopened.push_back(Reopened(w));
    EXPECT_EQ(reopened, c.reopened);
    // Folders and others are left alone; one that never closes is asked again.
    for (const Window& w : shell.windows) {
      EXPECT_EQ(w.quits > (w.kind == kNeverCloses ? 2 : 0),
                w.kind != kFolder && w.kind != kNotABrowser);
    }
  }
}

TEST_F(BrowserToolbarTest, RemovalCyclesOnlyWithTheCallersCom) {
  Shell shell({Ie("http://a.example/")});
  // No COM on the thread: nothing is found. (Wine gives COM to window threads.)
  std::thread([] { RemoveIEToolBar(); }).join();
  EXPECT_EQ(shell.windows[0].quits, 0);
  ScopedCoInitialize com;
  RemoveIEToolBar();
  EXPECT_EQ(g_notices, "");
  EXPECT_EQ(shell.windows[0].quits, 1);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(Reopened(shell.opened[0]), "http://a.example/");
}

}  // namespace
