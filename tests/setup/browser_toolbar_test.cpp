// The browser toolbar button: its key, written by script and branded, and the
// cycling of the open browser windows, against a scripted shell.
#include "setup/browser_toolbar.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/resource_module.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "plugin/host_notify.h"
#include "settings/settings_key.h"
#include "setup/browser_windows.h"
#include "setup/module_copy.h"
#include "setup/pointer_list.h"
#include "setup/scripted_browser_shell.h"

using namespace korvat_test;

namespace {

const char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
const char kExtensionsKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions";

class BrowserToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.loaded());
    Clean();
    LoadResourceModule();  // records the path of zrtpres.dll beside the copy
  }
  void TearDown() override {
    g_hPluginParent = nullptr;
    g_hHostWnd = nullptr;
    Clean();
  }
  static void Clean() {
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKey);
    DeleteKeyTree(HKEY_CURRENT_USER, kButtonKey);
  }
  static void Settings(std::initializer_list<std::pair<const char*, std::string>> values) {
    for (const auto& value : values) {
      SetStringValue(HKEY_CURRENT_USER, kSettingsKey, value.first, value.second);
    }
  }
  std::string Button(const char* name) { return ReadStringValue(HKEY_CURRENT_USER, kButtonKey, name); }
  std::string Module() const { return module_.folder().File("Korvat.dll"); }
  std::string Zrtpres() const { return module_.folder().File("zrtpres.dll"); }

  ModuleCopy module_;
};

TEST_F(BrowserToolbarTest, ButtonKeyIsWrittenByScriptAndBranded) {
  struct Case {
    const char* name;
    const char* has_brand;  // null: missing
    const char* brand_title;
    std::string hot_icon, icon, button_text;
  } cases[] = {
      {"HasBrand missing", nullptr, nullptr, Module() + ",203", Module() + ",204",
       "Start Nuvix Tapvo Meeting"},
      {"standard", "false", nullptr, Zrtpres() + ",203", Zrtpres() + ",204",
       "Start Nuvix Tapvo Meeting"},
      {"branded", "TRUE", "MyBrand", Zrtpres() + ",211", Zrtpres() + ",212", "MyBrand"},
      {"branded without title", "true", nullptr, Module() + ",203", Module() + ",204",
       "Start Nuvix Tapvo Meeting"},
  };
  for (const Case& c : cases) {
    Clean();
    Settings({{kOption, "IEdesktop"}});
    if (c.has_brand) Settings({{kHasBrand, c.has_brand}});
    if (c.brand_title) Settings({{kBrandTitle, c.brand_title}});
    EXPECT_EQ(AddToolbarKey(1), 1) << c.name;
    EXPECT_EQ(Button("HotIcon"), c.hot_icon) << c.name;
    EXPECT_EQ(Button("Icon"), c.icon) << c.name;
    EXPECT_EQ(Button("ButtonText"), c.button_text) << c.name;
    EXPECT_EQ(Button("MenuText"), c.button_text) << c.name;
    EXPECT_EQ(Button("ClsidExtension"), "{80947ADC-151D-490B-87F1-7C8CE1B46220}") << c.name;
  }
  // Removal takes the button and keeps the browser's extension key.
  EXPECT_EQ(AddToolbarKey(0), 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExtensionsKey));
}

TEST_F(BrowserToolbarTest, ButtonIsLeftOutUnlessTheOptionAsksForIt) {
  for (const char* option : {"desktop", " ", "FALSE"}) {
    ScopedScriptedShell shell;
    shell.shell.Add(ScriptedWindow{kIexplore, "http://a.example/"});
    Settings({{kOption, option}});
    EXPECT_EQ(AddIEToolBar(), 0) << option;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey)) << option;
    EXPECT_EQ(shell.shell.lists_opened(), 0) << option;
    EXPECT_FALSE(shell.shell.windows()[0].closed) << option;
  }
  Clean();
  EXPECT_EQ(AddToolbarKey(1), 0);  // no settings key
}

// One window-cycling case: the open windows, the return page, whether the
// first window hosts the plug-in, and what is reopened.
struct CycleCase {
  const char* name;
  std::vector<ScriptedWindow> windows;
  const char* return_page;
  bool first_is_host;
  int dialogs;
  std::vector<std::string> reopened;
};

std::string LongUrl() { return "http://long.example/" + std::string(2000, 'x'); }

ScriptedWindow Ie(const std::string& url, RECT place = {10, 20, 410, 320},
                  int show = SW_SHOWNORMAL) {
  ScriptedWindow window;
  window.url = url;
  window.place = place;
  window.show = show;
  return window;
}

ScriptedWindow Folder() {
  ScriptedWindow window = Ie("file:///C:/");
  window.full_name = kExplorer;
  return window;
}

ScriptedWindow NotABrowser() {
  ScriptedWindow window = Ie("");
  window.is_browser = false;
  return window;
}

class CycleTest : public BrowserToolbarTest, public ::testing::WithParamInterface<CycleCase> {};

TEST_P(CycleTest, BrowsersAreClosedAndReopened) {
  const CycleCase& c = GetParam();
  ScopedScriptedShell shell;
  for (const ScriptedWindow& window : c.windows) shell.shell.Add(window);
  Settings({{kOption, "ie"}, {kHasBrand, "false"}});
  if (c.return_page) Settings({{kReturnPage, c.return_page}});
  HWND plugin = nullptr;
  if (c.first_is_host) {
    plugin = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, shell.shell.windows()[0].window,
                           nullptr, nullptr, nullptr);
    g_hPluginParent = plugin;
  }
  HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            nullptr, nullptr);
  g_hHostWnd = host;

  DialogWatcher watcher;
  EXPECT_EQ(AddIEToolBar(), 1);
  std::vector<DialogWatcher::Seen> seen = watcher.seen();
  ASSERT_EQ(static_cast<int>(seen.size()), c.dialogs);
  for (const DialogWatcher::Seen& dialog : seen) {
    EXPECT_EQ(dialog.caption, "Nuvix Tapvo Meeting Setup");
    EXPECT_EQ(dialog.owner, host);
  }

  std::vector<std::string> reopened;
  for (const OpenedBrowser& opened : shell.shell.opened()) {
    reopened.emplace_back(opened.url.begin(), opened.url.end());
    EXPECT_TRUE(opened.visible);
  }
  EXPECT_EQ(reopened, c.reopened);
  // Folder windows and other items stay open; the lists are empty again.
  for (const ScriptedWindow& window : shell.shell.windows()) {
    EXPECT_EQ(window.closed, window.full_name == kIexplore && window.is_browser && !window.never_closes)
        << window.url;
  }
  EXPECT_EQ(ReopenUrlList.Count(), 0);
  EXPECT_EQ(PlacementList.Count(), 0);
  if (plugin) DestroyWindow(plugin);
  DestroyWindow(host);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CycleTest,
    ::testing::Values(
        CycleCase{"HostReopenedAtTheReturnPage", {Ie("http://own.example/")},
                  "http://return.example/", true, 0, {"http://return.example/"}},
        CycleCase{"ShortReturnPageKeepsTheOwnPage", {Ie("http://own.example/")}, "ab", true, 0,
                  {"http://own.example/"}},
        CycleCase{"ThreeWindowsAfterTheDialog",
                  {Ie("http://a.example/"), Ie("http://b.example/"), Ie("http://c.example/")},
                  "http://return.example/", false, 1,
                  {"http://a.example/", "http://b.example/", "http://c.example/"}},
        CycleCase{"SamePageOnce", {Ie("http://a.example/"), Ie("http://a.example/")}, nullptr,
                  false, 1, {"http://a.example/"}},
        CycleCase{"CaseOnlyDuplicatesOnce", {Ie("http://A.example/"), Ie("http://a.example/")},
                  nullptr, false, 1, {"http://A.example/"}},
        CycleCase{"ShortPagesAreNotReopened", {Ie("ab"), Ie("http://a.example/")}, nullptr, false,
                  1, {"http://a.example/"}},
        CycleCase{"FoldersAndOtherItemsAreLeftAlone",
                  {Folder(), NotABrowser(), Ie("http://a.example/")}, nullptr, false, 0,
                  {"http://a.example/"}},
        CycleCase{"LongAddressesAreCut", {Ie(LongUrl())}, nullptr, false, 0,
                  {LongUrl().substr(0, 1023)}}),
    [](const ::testing::TestParamInfo<CycleCase>& info) { return info.param.name; });

TEST_F(BrowserToolbarTest, ReopenedWindowsTakeTheirPlacesBack) {
  ScopedScriptedShell shell;
  shell.shell.Add(Ie("http://max.example/", {0, 0, 300, 200}, SW_SHOWMAXIMIZED));
  shell.shell.Add(Ie("http://same.example/", {1, 2, 101, 202}));
  shell.shell.Add(Ie("http://same.example/", {5, 6, 305, 406}));
  shell.shell.Add(Ie("http://First.example/", {7, 8, 107, 208}));
  shell.shell.Add(Ie("http://first.example/", {9, 9, 109, 209}));
  Settings({{kOption, "ie"}});
  DialogWatcher watcher;
  ASSERT_EQ(AddIEToolBar(), 1);
  std::vector<OpenedBrowser>& opened = shell.shell.opened();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].ShowState(), static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_FALSE(opened[0].placed);
  // The window closed last decides.
  EXPECT_TRUE(opened[1].placed);
  EXPECT_EQ(std::vector<LONG>({opened[1].left, opened[1].top, opened[1].width, opened[1].height}),
            std::vector<LONG>({5, 6, 300, 400}));
  // Letter case: the first page met, with its own window's place.
  EXPECT_EQ(opened[2].url, L"http://First.example/");
  EXPECT_EQ(std::vector<LONG>({opened[2].left, opened[2].top}), std::vector<LONG>({7, 8}));
}

TEST_F(BrowserToolbarTest, AWindowThatNeverClosesDoesNotHangSetup) {
  ScopedScriptedShell shell;
  ScriptedWindow stuck = Ie("http://stuck.example/");
  stuck.never_closes = true;
  shell.shell.Add(stuck);
  shell.shell.Add(Ie("http://a.example/"));
  Settings({{kOption, "ie"}});
  DialogWatcher watcher;
  EXPECT_EQ(AddIEToolBar(), 1);
  EXPECT_EQ(shell.shell.opened().size(), 2u);
  EXPECT_GT(shell.shell.quits(), 2);
}

TEST_F(BrowserToolbarTest, RemovalCyclesOnlyWithTheCallersCom) {
  Settings({{kOption, "ie"}});
  ASSERT_EQ(AddToolbarKey(1), 1);
  {
    // Without COM on the thread the scans find nothing: only the key goes.
    // (A thread of its own: Wine gives COM to a thread that made windows.)
    ScopedScriptedShell shell;
    shell.shell.Add(Ie("http://a.example/"));
    std::thread([] { RemoveIEToolBar(); }).join();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kButtonKey));
    EXPECT_FALSE(shell.shell.windows()[0].closed);
    EXPECT_TRUE(shell.shell.opened().empty());
  }
  ScopedCoInitialize com;
  ScopedScriptedShell shell;
  shell.shell.Add(Ie("http://a.example/"));
  shell.shell.Add(Ie("http://b.example/"));
  DialogWatcher watcher;
  RemoveIEToolBar();
  EXPECT_TRUE(watcher.seen().empty());
  EXPECT_TRUE(shell.shell.windows()[0].closed);
  EXPECT_EQ(shell.shell.opened().size(), 2u);
}

TEST(PointerListTest, GrowsByFiftyAndKeepsOrder) {
  PointerList list;
  std::vector<int> items(120);
  for (int& item : items) EXPECT_TRUE(list.Add(&item));
  ASSERT_EQ(list.Count(), 120);
  for (int i = 0; i < 120; ++i) EXPECT_EQ(list.At(i), &items[static_cast<size_t>(i)]);
  list.Empty();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.Add(&items[0]));
  EXPECT_EQ(list.At(0), &items[0]);
}

}  // namespace
