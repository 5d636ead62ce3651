// The browser toolbar button: its key, written by script and branded, the
// cycling of the open browser windows against a scripted shell, and the
// notice shown before it.
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
#include "setup/browser_windows.h"

using namespace korvat_test;

namespace {

const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kIexplore[] = "C:\\Program Files\\Internet Explorer\\iexplore.exe";
const RECT kPlace = {10, 20, 410, 320};
enum Kind { kBrowser, kFolder, kNotABrowser, kNeverCloses };

// A window of the script, open or opened afresh (with a real window, so that
// window placement works as on the platform), and what was done to it.
struct ScriptedWindow {
  std::string url;
  RECT place = kPlace;
  int show = SW_SHOWNORMAL;
  Kind kind = kBrowser;
  bool closed = false, visible = false, placed = false;
  int quits = 0;
  HWND window = nullptr;
};

class ScriptedBrowser : public BrowserWindow {
 public:
  explicit ScriptedBrowser(ScriptedWindow& window) : w(window) {}
  void GetFullName(char* out, int size) override {
    lstrcpynA(out, w.kind == kFolder ? "C:\\windows\\explorer.exe" : kIexplore, size);
  }
  void GetLocationUrl(char* out, int size) override { lstrcpynA(out, w.url.c_str(), size); }
  HWND GetHwnd() override { return w.window; }
  void GetPlace(LONG* left, LONG* top, LONG* width, LONG* height) override {
    *left = w.place.left, *top = w.place.top;
    *width = w.place.right - w.place.left, *height = w.place.bottom - w.place.top;
  }
  void Quit() override {
    if (++w.quits, w.kind == kNeverCloses) return;
    w.closed = true;
    DestroyWindow(w.window);
    w.window = nullptr;
  }
  void Navigate(const wchar_t* url) override { w.url.assign(url, url + lstrlenW(url)); }
  void MakeVisible() override { w.visible = true; }
  void SetPlace(LONG left, LONG top, LONG width, LONG height) override {
    w.placed = true;
    w.place = RECT{left, top, left + width, top + height};
  }
  ScriptedWindow& w;
};

// Put in place for its lifetime: the open windows and those opened afresh.
class ScriptedBrowserShell : public BrowserShell, public ShellWindowList {
 public:
  explicit ScriptedBrowserShell(std::vector<ScriptedWindow> open = {})
      : windows(open.begin(), open.end()) {
    SetBrowserShellForTesting(this);
    for (ScriptedWindow& w : windows) w.window = Frame(w.place, w.show);
  }
  ~ScriptedBrowserShell() override {
    SetBrowserShellForTesting(nullptr);
    for (auto* list : {&windows, &opened}) {
      for (ScriptedWindow& w : *list) DestroyWindow(w.window);
    }
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
    return std::make_unique<View>(this);
  }
  std::unique_ptr<BrowserWindow> OpenNewBrowser() override {
    opened.emplace_back();
    opened.back().window = Frame(kPlace, SW_SHOWNORMAL);
    return std::make_unique<ScriptedBrowser>(opened.back());
  }
  // A closed window answers as no browser.
  LONG Count() override { return static_cast<LONG>(windows.size()); }
  std::unique_ptr<BrowserWindow> BrowserAt(LONG index) override {
    ScriptedWindow& w = windows[static_cast<size_t>(index)];
    if (w.closed || w.kind == kNotABrowser) return nullptr;
    return std::make_unique<ScriptedBrowser>(w);
  }

  std::deque<ScriptedWindow> windows, opened;  // references to them stay valid
  int lists_opened = 0;

 private:
  struct View : ShellWindowList {
    explicit View(ShellWindowList* list) : list(list) {}
    LONG Count() override { return list->Count(); }
    std::unique_ptr<BrowserWindow> BrowserAt(LONG i) override { return list->BrowserAt(i); }
    ShellWindowList* list;
  };
  static HWND Frame(const RECT& r, int show) {
    HWND window =
        CreateWindowA("STATIC", "browser", WS_OVERLAPPEDWINDOW, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, show);
    return window;
  }
};

ScriptedWindow Ie(const std::string& url, Kind kind = kBrowser, RECT place = kPlace,
                  int show = SW_SHOWNORMAL) {
  return ScriptedWindow{url, place, show, kind};
}

void Set(const char* name, const std::string& value) {
  SetStringValue(HKEY_CURRENT_USER, kSettingsKey, name, value);
}

void Clean() {
  DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
  DeleteKeyTree(HKEY_CURRENT_USER, kButtonKey);
}

class BrowserToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    Clean();
    LoadResourceModule();  // records the path of zrtpres.dll beside the copy
  }
  void TearDown() override {
    g_hPluginParent = g_hHostWnd = nullptr;
    Clean();
  }
  ModuleCopy module_;
};

// The notice as the installation shows it: a second thread finds it, looks at
// where and how it stands, and closes it the way a user would.
TEST_F(BrowserToolbarTest, NoticeShowsCentredAndTopmostAndClosesByOkEscapeAndTheCloseBox) {
  // An owner away from the screen's centre: the dialog is centred regardless.
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 20, 200, 100,
                               nullptr, nullptr, nullptr, nullptr);
  const std::pair<UINT, WPARAM> closers[] = {{WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
                                             {WM_KEYDOWN, VK_ESCAPE},
                                             {WM_SYSCOMMAND, SC_CLOSE}};
  for (const auto& closer : closers) {
    SCOPED_TRACE(closer.first);
    HWND dialog = nullptr;
    RECT rect = {};
    bool topmost = false, owner_enabled = true, closed = false;
    std::thread user([&] {
      for (int i = 0; i < 200 && !IsWindowVisible(dialog); ++i, Sleep(25)) {
        dialog = FindWindowA("#32770", "Nuvix Tapvo Meeting Setup");  // shown once placed
      }
      if (!IsWindowVisible(dialog)) return;
      GetWindowRect(dialog, &rect);
      topmost = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      owner_enabled = IsWindowEnabled(owner);
      PostMessageA(dialog, closer.first, closer.second, 0);
      for (int i = 0; i < 200 && IsWindow(dialog); ++i) Sleep(25);
      if (!(closed = !IsWindow(dialog))) {  // end it anyway rather than hang the test
        EndDialog(dialog, 1);
        PostMessageA(dialog, WM_NULL, 0, 0);
      }
    });
    EXPECT_EQ(SetupNoticeDialog().DoModal(owner), 0);
    user.join();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(closed);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    EXPECT_GT(width, 0);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    // Topmost, and modal to its owner, which gets it back.
    EXPECT_TRUE(topmost && !owner_enabled && IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

TEST_F(BrowserToolbarTest, ButtonKeyIsWrittenByScriptAndBrandedWhenTheOptionAsks) {
  const std::string own = module_.folder().File("Korvat.dll") + ",";
  const std::string res = module_.folder().File("zrtpres.dll") + ",";
  const std::string text = "Start Nuvix Tapvo Meeting";
  const struct {
    const char *option, *has_brand, *brand_title;  // null: missing
    std::string hot_icon, icon, button_text;       // hot icon empty: no button
  } cases[] = {
      {nullptr, "false", nullptr, "", "", ""},
      {"desktop", "false", nullptr, "", "", ""},
      {"IEdesktop", nullptr, nullptr, own + "203", own + "204", text},
      {"ie", "false", nullptr, res + "203", res + "204", text},
      {"ie", "TRUE", "MyBrand", res + "211", res + "212", "MyBrand"},
      {"ie", "true", nullptr, own + "203", own + "204", text},  // branded without a title
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Clean();
    ScriptedBrowserShell shell;
    const char* const values[][2] = {
        {kOption, c.option}, {kHasBrand, c.has_brand}, {kBrandTitle, c.brand_title}};
    for (auto& v : values) {
      if (v[1] != nullptr) Set(v[0], v[1]);
    }
    const bool wanted = !c.hot_icon.empty();
    EXPECT_EQ(AddIEToolBar(), wanted ? 1 : 0);
    EXPECT_EQ(shell.lists_opened > 0, wanted);  // the windows are left alone
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kButtonKey), wanted);
    if (!wanted) continue;
    std::string read;
    for (const char* name : {"HotIcon", "Icon", "ButtonText", "MenuText"}) {
      read += ReadStringValue(HKEY_CURRENT_USER, kButtonKey, name) + "|";
    }
    EXPECT_EQ(read, c.hot_icon + "|" + c.icon + "|" + c.button_text + "|" + c.button_text + "|");
  }
  // Removal takes the button and keeps the browser's extension key.
  EXPECT_EQ(AddToolbarKey(0), 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Extensions"));
}

// A window opened afresh: its page, then how it was placed unless it stands
// where the script's windows stand by default.
std::string Reopened(const ScriptedWindow& window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  GetWindowPlacement(window.window, &placement);
  const RECT& r = window.place;
  if (!window.placed) {
    return window.url + (placement.showCmd == SW_SHOWMAXIMIZED ? " maximised" : " not placed");
  }
  if (EqualRect(&r, &kPlace)) return window.url;
  return window.url + " at " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The open windows, the return page, whether the first window hosts the
// plug-in, the notices shown and what is reopened.
TEST_F(BrowserToolbarTest, BrowsersAreClosedAndReopened) {
  const std::string a = "http://a.example/", b = "http://b.example/", own = "http://own.example/";
  const std::string back = "http://return.example/", sm = "http://same.example/";
  const std::string long_url = "http://long.example/" + std::string(2000, 'x');
  const std::string F = "http://First.example/", f = "http://first.example/";
  const RECT p1 = {1, 2, 101, 202}, p2 = {5, 6, 305, 406}, p3 = {7, 8, 107, 208},
             p4 = {9, 9, 109, 209};
  const struct {
    std::vector<ScriptedWindow> windows;
    const char* return_page;
    bool first_is_host;
    size_t dialogs;
    std::vector<std::string> reopened;
  } cases[] = {
      // The host reopens at the return page, unless that is too short.
      {{Ie(own)}, back.c_str(), true, 0, {back}},
      {{Ie(own)}, "ab", true, 0, {own}},
      {{Ie(a), Ie(b), Ie(own)}, back.c_str(), false, 1, {a, b, own}},
      {{Ie(a, kBrowser, kPlace, SW_SHOWMAXIMIZED)}, nullptr, false, 0, {a + " maximised"}},
      // The same page once, where the window closed last stood; pages equal
      // but for case once, with the first page met and its place.
      {{Ie(sm, kBrowser, p1), Ie(sm, kBrowser, p2)}, nullptr, false, 1, {sm + " at 5,6 300x400"}},
      {{Ie(F, kBrowser, p3), Ie(f, kBrowser, p4)}, nullptr, false, 1, {F + " at 7,8 100x200"}},
      {{Ie("ab"), Ie(a)}, nullptr, false, 1, {a}},
      {{Ie("file:///C:/", kFolder), Ie("", kNotABrowser), Ie(a)}, nullptr, false, 0, {a}},
      {{Ie(long_url)}, nullptr, false, 0, {long_url.substr(0, 1023)}},
      // Two, so that the closing loop could run for ever.
      {{Ie(a, kNeverCloses), Ie(b, kNeverCloses)}, nullptr, false, 1, {a, b}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows[0].url.substr(0, 30));
    Clean();
    ScriptedBrowserShell shell(c.windows);
    Set(kOption, "ie");
    Set(kHasBrand, "false");
    if (c.return_page) Set(kReturnPage, c.return_page);
    HWND plugin = !c.first_is_host
                      ? nullptr
                      : CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, shell.windows[0].window,
                                      nullptr, nullptr, nullptr);
    g_hPluginParent = plugin;
    g_hHostWnd = CreateWindowA("STATIC", "host", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
    DialogWatcher watcher;
    EXPECT_EQ(AddIEToolBar(), 1);
    std::vector<DialogWatcher::Seen> seen = watcher.seen();
    ASSERT_EQ(seen.size(), c.dialogs);
    for (const DialogWatcher::Seen& dialog : seen) {
      EXPECT_EQ(dialog.caption + (dialog.owner == g_hHostWnd ? " owned" : ""),
                "Nuvix Tapvo Meeting Setup owned");
    }
    std::vector<std::string> reopened;
    for (const ScriptedWindow& opened : shell.opened) {
      reopened.push_back(Reopened(opened));
      EXPECT_TRUE(opened.visible);
    }
    EXPECT_EQ(reopened, c.reopened);
    // Folder windows and other items are left alone; one that never closes is
    // asked again, a bounded number of times; the lists are empty again.
    for (const ScriptedWindow& w : shell.windows) {
      EXPECT_EQ(w.quits > (w.kind == kNeverCloses ? 2 : 0),
                w.kind != kFolder && w.kind != kNotABrowser);
    }
    EXPECT_EQ(ReopenUrlList.Count() + PlacementList.Count(), 0);
    if (plugin) DestroyWindow(plugin);
    DestroyWindow(g_hHostWnd);
  }
}

TEST_F(BrowserToolbarTest, RemovalCyclesOnlyWithTheCallersCom) {
  Set(kOption, "ie");
  ASSERT_EQ(AddToolbarKey(1), 1);
  {
    // Without COM on the thread the scans find nothing: only the key goes.
    // (A thread of its own: Wine gives COM to a thread that made windows.)
    ScriptedBrowserShell shell({Ie("http://a.example/")});
    std::thread([] { RemoveIEToolBar(); }).join();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
    EXPECT_TRUE(!shell.windows[0].closed && shell.opened.empty());
  }
  ScopedCoInitialize com;
  ScriptedBrowserShell shell({Ie("http://a.example/"), Ie("http://b.example/")});
  DialogWatcher watcher;
  RemoveIEToolBar();
  EXPECT_TRUE(watcher.seen().empty());
  EXPECT_TRUE(shell.windows[0].closed);
  EXPECT_EQ(shell.opened.size(), 2u);
}

}  // namespace
