// The plug-in exports as a download/installer host drives them: the module
// and its siblings in a folder whose path holds a space, and a host window on
// the test's thread that records the notifications and what was posted.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
const INT_PTR n = 0;  // an argument the module does not look at
const char kSettings[] = "Software\\Nuvix\\TapvoMeeting";
const char kShortcutText[] = "Start Nuvix Tapvo Meeting";
const char kUnRegisterLine[] =
    "UnRegisterKey() parent_key = SOFTWARE\\Nuvix,section_key = TapvoMeeting";
const Strings kExitLines = {"ExitControl() begin", "ExitControl() end"};

// A handle or pointer as the host writes it: signed decimal at pointer size.
std::string AsText(const void* value) {
  return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(value)));
}

class PluginExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kSettings);
    folder_.reset(new TempFolder);
    dir_ = folder_->path() + "\\plug in";
    CreateDirectoryA(dir_.c_str(), nullptr);
    for (const char* file : {"Korvat.dll", "tpvoun.exe"}) Copy(file, file);
    static const ATOM host_class = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = &HostProc;
      wc.lpszClassName = "KorvatTestHost";
      return RegisterClassA(&wc);
    }();
    host_ = CreateWindowExA(0, MAKEINTATOM(host_class), "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                            nullptr, nullptr, nullptr, nullptr);
    host_text_ = AsText(host_);
    s_current = this;
    events_.clear();
    trace_seen_ = 0;
  }
  void TearDown() override {
    module_.Reset();
    DestroyWindow(host_);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kSettings);
  }
  void Copy(const std::string& built, const std::string& as) {
    CopyFileA(BinFile(built).c_str(), (dir_ + "\\" + as).c_str(), FALSE);
  }
  // Loads the module with tracing on and `control` (a built variant, or none)
  // beside it as zrtpctl.dll.
  void Load(const std::string& control) {
    if (!control.empty()) Copy(control, "zrtpctl.dll");
    ScopedTraceSwitch on("Korvat", 1);
    module_.Reset(LoadLibraryA((dir_ + "\\Korvat.dll").c_str()));
    ASSERT_TRUE(module_);
    Trace();  // the attach line
  }
  // Calls an export with the argument types given (all pointer-sized).
  template <typename R, typename... Args>
  R Call(const char* name, Args... args) {
    return reinterpret_cast<R(WINAPI*)(Args...)>(
        reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)))(args...);
  }
  void* InitControl(const std::string& text) { return Call<void*>("InitControl", text.c_str()); }
  void ExitControl(const std::string& text) { Call<void>("ExitControl", text.c_str()); }

  // Notifications are sent, so they reach the window procedure at once; a
  // notification after the control module registered itself says so.
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    static const UINT notify = RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
    if (message != notify) return DefWindowProcA(hwnd, message, wParam, lParam);
    Strings calls = s_current->Calls();
    bool registered = std::find(calls.begin(), calls.end(), "DllRegisterServer") != calls.end();
    s_current->events_.push_back("notify " + std::to_string(wParam) + " " + std::to_string(lParam) +
                                 (registered ? " registered" : ""));
    return 0;
  }
  // What reached the host since the last look, posted messages included.
  Strings Events() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == nullptr || msg.message == WM_SIZE) {
        events_.push_back((msg.hwnd == nullptr ? "thread " : "WM_SIZE ") +
                          std::to_string(msg.wParam) + " " + std::to_string(msg.lParam));
      }
      DispatchMessageA(&msg);
    }
    Strings taken;
    taken.swap(events_);
    return taken;
  }
  // The trace messages written since the last look.
  Strings Trace() {
    const size_t from = trace_seen_;
    trace_seen_ = ReadLines(dir_ + "\\Korvat.log").size();
    return TraceMessages(dir_ + "\\Korvat.log", from);
  }
  Strings Calls() const { return ReadLines(dir_ + "\\doubles.log"); }
  bool ControlLoaded() const { return GetModuleHandleA((dir_ + "\\zrtpctl.dll").c_str()); }
  static std::string Setting(HKEY root, const char* name) {
    return ReadStringValue(root, kSettings, name);
  }

  static inline PluginExportsTest* s_current = nullptr;
  std::unique_ptr<TempFolder> folder_;
  std::string dir_, host_text_;
  ScopedLibrary module_;
  HWND host_ = nullptr;
  Strings events_;
  size_t trace_seen_ = 0;
};

TEST_F(PluginExportsTest, ControlModuleIsCreatedThroughThePreferredFunctionAndReleasedOnce) {
  const struct {
    const char* variant;
    bool host;
    const char *create, *deleted;  // create: followed by the host window; null: a failed load
  } cases[] = {{"zrtpctl_both.dll", true, "PDNewInstance %s 0", "ZRDeleteInstance 4201"},
               {"zrtpctl_zr_only.dll", true, "ZRNewInstance %s", "ZRDeleteInstance 4202"},
               {"zrtpctl_both.dll", false, "PDNewInstance 0 0", "ZRDeleteInstance 4201"},
               {"zrtpctl_no_delete.dll", true, nullptr, nullptr},
               {"", true, nullptr, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.variant) + (c.host ? "" : " without a host window"));
    TearDown();
    SetUp();
    Load(c.variant);
    void* loader = InitControl(c.host ? host_text_ : "no window");
    ASSERT_NE(loader, nullptr);
    char created[64] = {};
    if (c.create) std::snprintf(created, sizeof(created), c.create, host_text_.c_str());
    EXPECT_EQ(Calls(), c.create ? Strings{created} : Strings{});
    EXPECT_EQ(ControlLoaded(), c.create != nullptr);
    // WM_SIZE after a load only, and only to a host window.
    EXPECT_EQ(Events(), c.create && c.host ? Strings{"WM_SIZE 0 0"} : Strings{});
    EXPECT_EQ(Trace(), (Strings{"InitControl() begin", "InitControl() end"}));

    // Values that were not handed out, and a second release, are ignored
    // after the trace lines; the real value releases the control module.
    char unrelated[] = "not a loader";
    for (const std::string& value : {std::string("0"), std::string("loader"), std::string("12345"),
                                     AsText(unrelated), AsText(loader), AsText(loader)}) {
      ExitControl(value);
      EXPECT_EQ(Trace(), kExitLines) << value;
    }
    EXPECT_STREQ(unrelated, "not a loader");
    EXPECT_EQ(Calls(), c.create ? (Strings{created, c.deleted}) : Strings{});
    EXPECT_FALSE(ControlLoaded());
  }
}

TEST_F(PluginExportsTest, PluginWindowCoversTheParentAsCreatedAndGoesWithItsInstance) {
  Load("");
  // A parent whose client area is 300 by 200.
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 120, 80, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
  void* instance = Call<void*>("ZRNewInstance", parent);
  HWND child = GetWindow(parent, GW_CHILD);
  ASSERT_NE(child, nullptr);
  SetWindowPos(parent, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(std::vector<LONG>({rect.left, rect.top, rect.right, rect.bottom}),
            std::vector<LONG>({0, 0, 300, 200}));
  char name[64] = {};
  GetClassNameA(child, name, sizeof(name));
  const std::string digits = std::to_string(2 * sizeof(void*));  // 8 on 32-bit
  EXPECT_TRUE(std::regex_match(name, std::regex("ATL:[0-9A-F]{" + digits + "}"))) << name;
  EXPECT_EQ(Trace(), (Strings{"ZRNewInstance() begin", "ZRNewInstance() end"}));

  // Null, an unknown pointer and a second release only write the two lines.
  std::vector<unsigned char> unrelated(64, 0xAB);
  for (void* value :
       {instance, static_cast<void*>(nullptr), static_cast<void*>(&unrelated[0]), instance}) {
    Call<void>("ZRDeleteInstance", value);
    EXPECT_EQ(Trace(), (Strings{"ZRDeleteInstance() begin", "ZRDeleteInstance() end"}));
  }
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(unrelated, std::vector<unsigned char>(64, 0xAB));

  // A window that went with its parent leaves only the instance to release;
  // a module loaded again registers the class that its unloading took.
  instance = Call<void*>("ZRNewInstance", parent);
  DestroyWindow(parent);
  Call<void>("ZRDeleteInstance", instance);
  module_.Reset();
  Load("");
  parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                           nullptr);
  instance = Call<void*>("ZRNewInstance", parent);
  EXPECT_NE(GetWindow(parent, GW_CHILD), nullptr);
  Call<void>("ZRDeleteInstance", instance);
  DestroyWindow(parent);
}

TEST_F(PluginExportsTest, InstancesOfSeveralThreadsEachTakeTheirWindowWithThem) {
  Load("");
  // Each window thread makes instances in a parent of its own and has them
  // deleted, by itself or by another thread while it handles messages; after
  // each delete no child window may be left.
  const struct {
    int threads;
    bool delete_elsewhere;
  } cases[] = {{2, false}, {4, false}, {1, true}, {2, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.threads) + (c.delete_elsewhere ? " deleted elsewhere" : ""));
    std::atomic<int> ready{0}, left{0}, rounds{0};
    auto window_thread = [&] {
      HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                    nullptr, nullptr);
      for (++ready; ready < c.threads;) Sleep(0);
      for (int i = 0; i < 100; ++i, ++rounds) {
        void* instance = Call<void*>("ZRNewInstance", parent);
        if (c.delete_elsewhere) {
          std::atomic<bool> done{false};
          std::thread other([&] { Call<void>("ZRDeleteInstance", instance), done = true; });
          for (MSG msg; !done; Sleep(0)) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
          }
          other.join();
        } else {
          Call<void>("ZRDeleteInstance", instance);
        }
        if (GetWindow(parent, GW_CHILD) != nullptr) ++left;
      }
      DestroyWindow(parent);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < c.threads; ++t) threads.emplace_back(window_thread);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(rounds, c.threads * 100);
    EXPECT_EQ(left, 0);
  }
}

TEST_F(PluginExportsTest, PreDownloadAndSetupRebuildTheSettingsAndNotifyOnceAHostIsKnown) {
  Load("");
  auto pre_download = [this](const char* page) {
    return Call<int>("AsPreDownload", n, n, n, page, "", "");
  };
  SetStringValue(HKEY_CURRENT_USER, kSettings, "Option", "ie");
  EXPECT_EQ(pre_download("abc"), 0);
  EXPECT_EQ(Events(), Strings{});  // no host before InitControl
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "Option"), "<missing>");
  EXPECT_EQ(Trace(), (Strings{"AsPreDownload() begin", kUnRegisterLine, "As PreDownload() end"}));

  InitControl(host_text_);
  for (const char* page : {"ab", "abc", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(page != nullptr ? page : "null");
    SetStringValue(HKEY_CURRENT_USER, kSettings, "ReturnPage", "old");
    EXPECT_EQ(pre_download(page), 0);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      DWORD type = 0;
      std::string bytes;
      ASSERT_TRUE(ReadRawValue(root, kSettings, "ShortcutName", &type, &bytes));
      EXPECT_EQ(type, DWORD(REG_SZ));
      EXPECT_EQ(bytes, std::string(kShortcutText) + '\0');  // the zero is stored
      EXPECT_EQ(Setting(root, "ShortcutDescribe"), kShortcutText);
      EXPECT_EQ(Setting(root, "ReturnPage"),  // kept only when longer than 2
                page != nullptr && std::string(page) == "abc" ? "abc" : "<missing>");
    }
    EXPECT_EQ(Events(), Strings{"notify 0 1"});
  }

  // Setup runs the three steps without a return page; with no control module
  // to register, the host is told all the same.
  Trace();
  SetStringValue(HKEY_CURRENT_USER, kSettings, "ReturnPage", "http://old/page");
  EXPECT_EQ(Call<int>("AsSetup", n, n, n, n, n, n, n, n, n, n, n, n, n, n, n, n), 0);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "ReturnPage"), "<missing>");
  EXPECT_EQ(Setting(HKEY_LOCAL_MACHINE, "ShortcutName"), kShortcutText);
  EXPECT_EQ(Events(), (Strings{"notify 0 1", "notify 1 0"}));
  EXPECT_EQ(Trace(), (Strings{"AsSetup() begin", "AsPreDownload() begin", kUnRegisterLine,
                              "As PreDownload() end", "AsAfterDownload() begin",
                              "AsAfterDownload() end", "AsSetup() end"}));
  // The two steps without work write nothing.
  EXPECT_EQ(Call<int>("AsDownload", n, n, n, n, n, n, n, n, n), 0);
  EXPECT_EQ(Call<int>("AsExitDownload"), 0);
  EXPECT_EQ(Trace(), Strings{});

  // The settings key goes only while it has no sub-key; a machine key the
  // user may not write is passed over.
  const std::string logon = std::string(kSettings) + "\\Logon";
  SetStringValue(HKEY_CURRENT_USER, logon, "LogonState", "1");
  ScopedReadOnlyKey read_only(HKEY_LOCAL_MACHINE, kSettings);
  ASSERT_TRUE(read_only.active());
  EXPECT_EQ(pre_download("abc"), 0);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, logon));
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "ReturnPage"), "abc");
  EXPECT_EQ(Setting(HKEY_LOCAL_MACHINE, "ReturnPage"), "<missing>");
}

TEST_F(PluginExportsTest, AfterDownloadStartsTheUninstallerRegistersTheControlThenNotifies) {
  // A program named by the path up to its space must not be the one started.
  CopyFileA(BinFile("tpvoun.exe").c_str(), folder_->File("plug.exe").c_str(), FALSE);
  Load("zrtpctl_both.dll");
  void* loader = InitControl(host_text_);
  Events();
  EXPECT_EQ(Call<int>("AsAfterDownload", n), 0);
  EXPECT_EQ(Events(), Strings{"notify 1 0 registered"});

  // The program runs on its own: its line may come at any place.
  Strings lines, calls, program;
  for (int i = 0; i < 200 && (lines = Calls()).size() < 3; ++i) Sleep(50);
  for (const std::string& line : lines) {
    (line.rfind("tpvoun ", 0) == 0 ? program : calls).push_back(line);
  }
  EXPECT_EQ(calls, (Strings{"PDNewInstance " + host_text_ + " 0", "DllRegisterServer"}));
  EXPECT_EQ(program, Strings{"tpvoun \"" + dir_ + "\\tpvoun.exe\" /r"});
  EXPECT_FALSE(FileExists(folder_->File("doubles.log")));
  EXPECT_EQ(Trace(), (Strings{"InitControl() begin", "InitControl() end", "AsAfterDownload() begin",
                              "AsAfterDownload() end"}));
  // The registration balanced its own load of the control module.
  ExitControl(AsText(loader));
  EXPECT_FALSE(ControlLoaded());
}

// Host windows and loaders travel as decimal text. Only a real window gets
// the WM_SIZE and the notification: 65535 is HWND_BROADCAST, which would
// reach every top-level window. A value that names no loader releases none.
TEST_F(PluginExportsTest, HostValuesThatNameNoWindowReachNoWindow) {
  Load("zrtpctl_both.dll");
  HWND gone =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  const std::string gone_text = AsText(gone);
  const char* const none = nullptr;
  const struct {
    const char* text;  // null: a null pointer
    HWND parent;       // what ZRNewInstance is given for the same value
  } rows[] = {
      {host_text_.c_str(), host_},
      {nullptr, nullptr},
      {"", nullptr},
      {"abc", nullptr},
      {"12abc", reinterpret_cast<HWND>(12)},
      {"99999999999999999999999", nullptr},
      {"-1", reinterpret_cast<HWND>(-1)},
      {"65535", HWND_BROADCAST},
      {gone_text.c_str(), gone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text != nullptr ? row.text : "null");
    const bool is_host = row.parent == host_;
    void* loader = Call<void*>("InitControl", row.text);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(Call<int>("AsPreDownload", n, n, n, none, none, none), 0);
    Call<void>("ExitControl", row.text);  // names no loader: the control stays
    EXPECT_TRUE(ControlLoaded());
    ExitControl(AsText(loader));
    EXPECT_FALSE(ControlLoaded());
    void* instance = Call<void*>("ZRNewInstance", row.parent);
    EXPECT_NE(instance, nullptr);
    EXPECT_EQ(GetWindow(host_, GW_CHILD) != nullptr, is_host);
    Call<void>("ZRDeleteInstance", instance);
    EXPECT_EQ(Events(), is_host ? (Strings{"notify 0 1", "WM_SIZE 0 0"}) : Strings{});
  }
}

// A module path of MAX_PATH characters or more leaves no module directory.
// The sibling paths would then begin with "\" and name the root of the
// current drive; nothing may be started or loaded from there, and each step
// goes on as without its sibling.
TEST_F(PluginExportsTest, AModulePathTooLongForSiblingsStartsAndLoadsNone) {
  auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
  std::wstring dir = wide(folder_->path());
  for (int level = 0; level < 2; ++level) {
    dir += L"\\" + std::wstring(150, L'd');
    CreateDirectoryW(dir.c_str(), nullptr);
  }
  const std::wstring module = dir + L"\\Korvat.dll";
  ASSERT_GE(module.size(), size_t(MAX_PATH));
  CopyFileW(wide(BinFile("Korvat.dll")).c_str(), module.c_str(), FALSE);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA("C:\\");
  const char* const decoys[][2] = {{"tpvoun.exe", "C:\\tpvoun.exe"},
                                   {"zrtpctl_both.dll", "C:\\zrtpctl.dll"},
                                   {"zrtpres.dll", "C:\\zrtpres.dll"}};
  for (const auto& decoy : decoys) CopyFileA(BinFile(decoy[0]).c_str(), decoy[1], FALSE);

  module_.Reset(LoadLibraryW(module.c_str()));  // LoadLibraryA refuses such a path
  EXPECT_TRUE(module_);
  if (module_) {
    void* loader = InitControl(host_text_);
    void* instance = Call<void*>("ZRNewInstance", host_);
    EXPECT_EQ(Call<int>("AsAfterDownload", n), 0);
    EXPECT_EQ(Events(), Strings{"notify 1 0"});
    EXPECT_EQ(GetModuleHandleA("C:\\zrtpres.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("C:\\zrtpctl.dll"), nullptr);
    for (int i = 0; i < 30 && !FileExists("C:\\doubles.log"); ++i) Sleep(100);  // tpvoun.exe
    EXPECT_EQ(ReadLines("C:\\doubles.log"), Strings{});
    Call<void>("ZRDeleteInstance", instance);
    ExitControl(AsText(loader));
    module_.Reset();
  }
  SetCurrentDirectoryA(cwd);
  for (const auto& decoy : decoys) DeleteFileA(decoy[1]);
  DeleteFileA("C:\\doubles.log");
  DeleteFileW(module.c_str());
  for (int level = 0; level < 2; ++level, dir.resize(dir.rfind(L'\\'))) {
    RemoveDirectoryW(dir.c_str());
  }
}

}  // namespace
