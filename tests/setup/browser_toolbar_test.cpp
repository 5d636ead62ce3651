// The browser toolbar button: its key, written by script and branded, the
// cycling of the open browser windows, against a scripted shell, and the
// notice shown before it.
#include "setup/browser_toolbar.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "core/setup_notice_dialog.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "settings/settings_key.h"
#include "setup/browser_windows.h"
#include "setup/scripted_browser_shell.h"

using namespace korvat_test;

namespace {

const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";

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

// The notice dialog as the installation shows it: a second thread finds it,
// looks at where and how it stands, and closes it the way a user would. The
// module's own template, as when no zrtpres.dll lies beside it.
TEST_F(BrowserToolbarTest, NoticeShowsCentredAndTopmostAndClosesByOkEscapeAndTheCloseBox) {
  // An owner away from the screen's centre: the dialog is centred regardless.
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 20, 200, 100,
                               nullptr, nullptr, nullptr, nullptr);
  const struct {
    UINT message;
    WPARAM wParam;
  } closers[] = {{WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},  // OK
                 {WM_KEYDOWN, VK_ESCAPE},
                 {WM_SYSCOMMAND, SC_CLOSE}};  // the close box
  for (const auto& closer : closers) {
    SCOPED_TRACE(closer.message);
    HWND dialog = nullptr;
    RECT rect = {};
    bool topmost = false, owner_enabled = true, closed = false;
    std::thread user([&] {
      for (int i = 0; i < 200; ++i, Sleep(25)) {  // shown once it has been placed
        dialog = FindWindowA("#32770", "Nuvix Tapvo Meeting Setup");
        if (dialog != nullptr && IsWindowVisible(dialog)) break;
      }
      if (dialog == nullptr || !IsWindowVisible(dialog)) return;
      GetWindowRect(dialog, &rect);
      topmost = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      owner_enabled = IsWindowEnabled(owner);
      PostMessageA(dialog, closer.message, closer.wParam, 0);
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
    EXPECT_TRUE(topmost);
    EXPECT_FALSE(owner_enabled);  // modal to its owner, which gets it back
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

TEST_F(BrowserToolbarTest, ButtonKeyIsWrittenByScriptAndBranded) {
  const std::string own = module_.folder().File("Korvat.dll") + ",";
  const std::string res = module_.folder().File("zrtpres.dll") + ",";
  const std::string text = "Start Nuvix Tapvo Meeting";
  const struct {
    const char *has_brand, *brand_title;  // null: missing
    std::string hot_icon, icon, button_text;
  } cases[] = {
      {nullptr, nullptr, own + "203", own + "204", text},
      {"false", nullptr, res + "203", res + "204", text},
      {"TRUE", "MyBrand", res + "211", res + "212", "MyBrand"},
      {"true", nullptr, own + "203", own + "204", text},  // branded without a title
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.has_brand ? c.has_brand : "HasBrand missing");
    Clean();
    Set(kOption, "IEdesktop");
    if (c.has_brand) Set(kHasBrand, c.has_brand);
    if (c.brand_title) Set(kBrandTitle, c.brand_title);
    EXPECT_EQ(AddToolbarKey(1), 1);
    auto button = [](const char* name) {
      return ReadStringValue(HKEY_CURRENT_USER, kButtonKey, name);
    };
    EXPECT_EQ(button("HotIcon"), c.hot_icon);
    EXPECT_EQ(button("Icon"), c.icon);
    EXPECT_EQ(button("ButtonText"), c.button_text);
    EXPECT_EQ(button("MenuText"), c.button_text);
  }
  // Removal takes the button and keeps the browser's extension key.
  EXPECT_EQ(AddToolbarKey(0), 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Extensions"));
}

enum Kind { kBrowser, kFolder, kNotABrowser, kNeverCloses };
const RECT kPlace = ScriptedWindow().place;

ScriptedWindow Ie(const std::string& url, RECT place = kPlace, int show = SW_SHOWNORMAL,
                  Kind kind = kBrowser) {
  ScriptedWindow window;
  window.url = url;
  window.place = place;
  window.show = show;
  if (kind == kFolder) window.full_name = "C:\\windows\\explorer.exe";
  window.is_browser = kind != kNotABrowser;
  window.never_closes = kind == kNeverCloses;
  return window;
}

ScriptedWindow Ie(const std::string& url, Kind kind) {
  return Ie(url, kPlace, SW_SHOWNORMAL, kind);
}

TEST_F(BrowserToolbarTest, ButtonIsLeftOutUnlessTheOptionAsksForIt) {
  for (const char* option : {"desktop", " ", "FALSE"}) {
    ScriptedBrowserShell shell;
    shell.Add(Ie("http://a.example/"));
    Set(kOption, option);
    EXPECT_EQ(AddIEToolBar(), 0) << option;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey)) << option;
    EXPECT_EQ(shell.lists_opened, 0) << option;
  }
  Clean();
  EXPECT_EQ(AddToolbarKey(1), 0);  // no settings key
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
  const std::string long_url = "http://long.example/" + std::string(2000, 'x');
  const struct {
    std::vector<ScriptedWindow> windows;
    const char* return_page;
    bool first_is_host;
    size_t dialogs;
    std::vector<std::string> reopened;
  } cases[] = {
      // The host reopens at the return page, unless that is too short.
      {{Ie("http://own.example/")}, "http://return.example/", true, 0, {"http://return.example/"}},
      {{Ie("http://own.example/")}, "ab", true, 0, {"http://own.example/"}},
      {{Ie("http://a.example/"), Ie("http://b.example/"), Ie("http://c.example/")},
       "http://return.example/",
       false,
       1,
       {"http://a.example/", "http://b.example/", "http://c.example/"}},
      {{Ie("http://max.example/", {0, 0, 300, 200}, SW_SHOWMAXIMIZED)},
       nullptr,
       false,
       0,
       {"http://max.example/ maximised"}},
      // The same page once, where the window closed last stood; pages equal
      // but for case once, with the first page met and its place.
      {{Ie("http://same.example/", {1, 2, 101, 202}), Ie("http://same.example/", {5, 6, 305, 406})},
       nullptr,
       false,
       1,
       {"http://same.example/ at 5,6 300x400"}},
      {{Ie("http://First.example/", {7, 8, 107, 208}),
        Ie("http://first.example/", {9, 9, 109, 209})},
       nullptr,
       false,
       1,
       {"http://First.example/ at 7,8 100x200"}},
      {{Ie("ab"), Ie("http://a.example/")}, nullptr, false, 1, {"http://a.example/"}},
      {{Ie("file:///C:/", kFolder), Ie("", kNotABrowser), Ie("http://a.example/")},
       nullptr,
       false,
       0,
       {"http://a.example/"}},
      {{Ie(long_url)}, nullptr, false, 0, {long_url.substr(0, 1023)}},
      // Two, so that the closing loop could run for ever.
      {{Ie("http://s1.example/", kNeverCloses), Ie("http://s2.example/", kNeverCloses)},
       nullptr,
       false,
       1,
       {"http://s1.example/", "http://s2.example/"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows[0].url.substr(0, 30));
    Clean();
    ScriptedBrowserShell shell;
    for (const ScriptedWindow& window : c.windows) shell.Add(window);
    Set(kOption, "ie");
    Set(kHasBrand, "false");
    if (c.return_page) Set(kReturnPage, c.return_page);
    HWND plugin = nullptr;
    if (c.first_is_host) {
      plugin = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, shell.windows[0].window, nullptr,
                             nullptr, nullptr);
    }
    g_hPluginParent = plugin;
    HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr);
    g_hHostWnd = host;

    DialogWatcher watcher;
    EXPECT_EQ(AddIEToolBar(), 1);
    std::vector<DialogWatcher::Seen> seen = watcher.seen();
    ASSERT_EQ(seen.size(), c.dialogs);
    for (const DialogWatcher::Seen& dialog : seen) {
      EXPECT_EQ(dialog.caption, "Nuvix Tapvo Meeting Setup");
      EXPECT_EQ(dialog.owner, host);
    }
    std::vector<std::string> reopened;
    for (const ScriptedWindow& opened : shell.opened) {
      reopened.push_back(Reopened(opened));
      EXPECT_TRUE(opened.visible);
    }
    EXPECT_EQ(reopened, c.reopened);
    // Folder windows and other items are left alone; one that never closes is
    // asked again, a bounded number of times; the lists are empty again.
    for (const ScriptedWindow& window : shell.windows) {
      const bool browser = window.full_name == kIexplore && window.is_browser;
      EXPECT_EQ(window.quits > (window.never_closes ? 2 : 0), browser) << window.url;
    }
    EXPECT_EQ(ReopenUrlList.Count(), 0);
    EXPECT_EQ(PlacementList.Count(), 0);
    if (plugin) DestroyWindow(plugin);
    DestroyWindow(host);
  }
}

TEST_F(BrowserToolbarTest, RemovalCyclesOnlyWithTheCallersCom) {
  Set(kOption, "ie");
  ASSERT_EQ(AddToolbarKey(1), 1);
  {
    // Without COM on the thread the scans find nothing: only the key goes.
    // (A thread of its own: Wine gives COM to a thread that made windows.)
    ScriptedBrowserShell shell;
    shell.Add(Ie("http://a.example/"));
    std::thread([] { RemoveIEToolBar(); }).join();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
    EXPECT_FALSE(shell.windows[0].closed);
    EXPECT_TRUE(shell.opened.empty());
  }
  ScopedCoInitialize com;
  ScriptedBrowserShell shell;
  shell.Add(Ie("http://a.example/"));
  shell.Add(Ie("http://b.example/"));
  DialogWatcher watcher;
  RemoveIEToolBar();
  EXPECT_TRUE(watcher.seen().empty());
  EXPECT_TRUE(shell.windows[0].closed);
  EXPECT_EQ(shell.opened.size(), 2u);
}

}  // namespace
