// The plug-in exports as a download host drives them: the module in a folder whose path holds a
// space, and a host window on the test's thread recording notifications and posts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "harness/test_support.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
const INT_PTR n = 0;  // an argument the module does not look at
const char kShortcutText[] = "Start Nuvix Tapvo Meeting";
const char kUnRegisterLine[] =
    "UnRegisterKey() parent_key = SOFTWARE\\Nuvix,section_key = TapvoMeeting";

std::string Setting(HKEY root, const char* name) { return ReadStringValue(root, kSettings, name); }

// A handle or pointer as the host writes it: signed decimal at pointer size.
std::string AsText(const void* value) {
  return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(value)));
}

HWND Parent() { return CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 300, 200, 0, 0, 0, 0); }

class PluginExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKeys();
    CreateDirectoryA(dir_.c_str(), nullptr);
    for (const char* file : {"Korvat.dll", "tpvoun.exe"}) Copy(file, file);
    static const WNDCLASSA host_class = {0,       &HostProc, 0,       0,       nullptr,
                                         nullptr, nullptr,   nullptr, nullptr, "KorvatTestHost"};
    static const ATOM host_atom = RegisterClassA(&host_class);
    host_ = CreateWindowExA(0, MAKEINTATOM(host_atom), "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                            nullptr, nullptr, nullptr, nullptr);
    host_text_ = AsText(host_);
    s_current = this;
  }
  void TearDown() override {
    DestroyWindow(host_);
    DeleteSettingsKeys();
  }
  void Copy(const std::string& built, const std::string& as) {
    CopyFileA(BinFile(built).c_str(), (dir_ + "\\" + as).c_str(), FALSE);
  }
  // Loads the module, tracing, with `control` (a built variant) as zrtpctl.dll.
  void Load(const std::string& control) {
    if (!control.empty()) Copy(control, "zrtpctl.dll");
    ScopedTraceSwitch on("Korvat", 1);
    module_.Reset();
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
  void ExitControl(const std::string& text) { Call<void>("ExitControl", text.c_str()); }

  // Notifications are sent; one after the control module registered itself says so.
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    static const UINT notify = RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
    if (message != notify) return DefWindowProcA(hwnd, message, wParam, lParam);
    const bool registered =
        ReadFileBytes(s_current->dir_ + "\\doubles.log").find("DllRegisterServer") !=
        std::string::npos;
    s_current->events_.push_back("notify " + std::to_string(wParam) + " " + std::to_string(lParam) +
                                 (registered ? " registered" : ""));
    return 0;
  }
  // What reached the host since the last look, posted messages included.
  Strings Events() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&msg))
      if (msg.hwnd == nullptr || msg.message == WM_SIZE)
        events_.push_back((msg.hwnd == nullptr ? "thread " : "WM_SIZE ") +
                          std::to_string(msg.wParam) + " " + std::to_string(msg.lParam));
    return std::exchange(events_, {});
  }
  // The trace messages written since the last look.
  Strings Trace() {
    const size_t from = std::exchange(trace_seen_, ReadLines(dir_ + "\\Korvat.log").size());
    return TraceMessages(dir_ + "\\Korvat.log", from);
  }
  Strings Calls() const { return ReadLines(dir_ + "\\doubles.log"); }
  bool ControlLoaded() const { return GetModuleHandleA((dir_ + "\\zrtpctl.dll").c_str()); }

  static inline PluginExportsTest* s_current = nullptr;
  TempFolder folder_;
  const std::string dir_ = folder_.path() + "\\plug in";
  std::string host_text_;
  ScopedLibrary module_;
  HWND host_ = nullptr;
  Strings events_;
  size_t trace_seen_ = 0;
};

// Host windows and loaders travel as decimal text. Only a real window (not HWND_BROADCAST) gets the
// WM_SIZE, the notification and the plug-in window. Each value is also a return page (kept if > 2).
TEST_F(PluginExportsTest, HostValuesControlModulesAndPluginWindows) {
  Load("");
  HWND gone = Parent();
  DestroyWindow(gone);
  const std::string host = host_text_, gone_text = AsText(gone), both = "zrtpctl_both.dll",
                    biggest = std::to_string(INTPTR_MAX);
  const struct {
    std::string variant;  // copied as zrtpctl.dll; empty: none
    const char* text;     // null: a null pointer
    std::string created;  // the control module's record; empty: not loaded
    HWND parent;          // what ZRNewInstance is given for the same value
  } rows[] = {
      {both, host.c_str(), "PDNewInstance " + host + " 0", host_},
      {"zrtpctl_zr_only.dll", host.c_str(), "ZRNewInstance " + host, host_},
      {"zrtpctl_no_delete.dll", host.c_str(), "", host_},
      {"", host.c_str(), "", host_},
      {both, nullptr, "PDNewInstance 0 0", nullptr},
      {both, "abc", "PDNewInstance 0 0", nullptr},
      {both, "12abc", "PDNewInstance 12 0", reinterpret_cast<HWND>(12)},
      {both, "99999999999999999999999", "PDNewInstance " + biggest + " 0", nullptr},
      {both, "-1", "PDNewInstance -1 0", reinterpret_cast<HWND>(-1)},
      {both, "65535", "PDNewInstance 65535 0", HWND_BROADCAST},
      {both, gone_text.c_str(), "PDNewInstance " + gone_text + " 0", gone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.variant + " " + (row.text != nullptr ? row.text : "null"));
    const bool is_host = row.parent == host_, loads = !row.created.empty();
    DeleteFileA((dir_ + "\\doubles.log").c_str());
    DeleteFileA((dir_ + "\\zrtpctl.dll").c_str());
    if (!row.variant.empty()) Copy(row.variant, "zrtpctl.dll");
    void* loader = Call<void*>("InitControl", row.text);
    ASSERT_NE(loader, nullptr);
    const Strings created = loads ? Strings{row.created} : Strings{};
    EXPECT_EQ(Calls(), created);
    EXPECT_EQ(ControlLoaded(), loads);
    EXPECT_EQ(Events(), is_host && loads ? Strings{"WM_SIZE 0 0"} : Strings{});
    EXPECT_EQ(Call<int>("AsPreDownload", n, n, n, row.text, n, n), 0);
    EXPECT_EQ(Events(), is_host ? Strings{"notify 0 1"} : Strings{});
    const bool kept = row.text != nullptr && std::strlen(row.text) > 2;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
      EXPECT_EQ(Setting(root, "ReturnPage"), kept ? row.text : "<missing>");
    EXPECT_EQ(Trace(), (Strings{"InitControl() begin", "InitControl() end", "AsPreDownload() begin",
                                kUnRegisterLine, "As PreDownload() end"}));
    char unrelated[] = "not a loader";
    Call<void>("ExitControl", row.text);
    ExitControl(AsText(unrelated));
    EXPECT_EQ(Calls(), created);
    ExitControl(AsText(loader));
    ExitControl(AsText(loader));
    const std::string deleted = row.created[0] == 'P' ? "4201" : "4202";
    EXPECT_EQ(Calls(), loads ? (Strings{row.created, "ZRDeleteInstance " + deleted}) : Strings{});
    EXPECT_FALSE(ControlLoaded());

    // A delete from another thread has the window's own thread destroy it.
    void* instance = Call<void*>("ZRNewInstance", row.parent);
    EXPECT_NE(instance, nullptr);
    RECT client = {}, child = {};  // the window covers the parent's client area
    GetClientRect(host_, &client), GetClientRect(GetWindow(host_, GW_CHILD), &child);
    EXPECT_EQ(EqualRect(&client, &child) != FALSE, is_host);
    std::atomic<bool> done{false};
    std::thread other([&] {
      for (void* value : std::initializer_list<void*>{nullptr, unrelated, instance, instance})
        Call<void>("ZRDeleteInstance", value);
      done = true;
    });
    for (MSG msg; !done; Sleep(0))
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    other.join();
    EXPECT_EQ(GetWindow(host_, GW_CHILD), nullptr);
    Strings lines;  // four ExitControl, a ZRNewInstance, four ZRDeleteInstance
    for (int i = 0; i < 18; ++i)
      lines.push_back(std::string(i < 8    ? "ExitControl"
                                  : i < 10 ? "ZRNewInstance"
                                           : "ZRDeleteInstance") +
                      (i % 2 ? "() end" : "() begin"));
    EXPECT_EQ(Trace(), lines);
  }

  // A window gone with its parent leaves the instance to release; a reload registers the class.
  HWND parent = Parent();
  void* instance = Call<void*>("ZRNewInstance", parent);
  DestroyWindow(parent);
  Call<void>("ZRDeleteInstance", instance);
  Load("");
  instance = Call<void*>("ZRNewInstance", host_);
  EXPECT_NE(GetWindow(host_, GW_CHILD), nullptr);
  Call<void>("ZRDeleteInstance", instance);
}

// Setup: settings anew without a return page, the uninstaller started, the control registered.
TEST_F(PluginExportsTest, SetupRebuildsTheSettingsStartsTheUninstallerAndRegistersTheControl) {
  // A program named by the path up to its space must not be the one started.
  folder_.CopyFromBin("tpvoun.exe", "plug.exe");
  Load("zrtpctl_both.dll");
  void* loader = Call<void*>("InitControl", host_text_.c_str());
  Events();
  SetStringValue(HKEY_CURRENT_USER, kSettings, "ReturnPage", "http://old/page");
  EXPECT_EQ(Call<int>("AsSetup", n, n, n, n, n, n, n, n, n, n, n, n, n, n, n, n), 0);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "ReturnPage"), "<missing>");
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_EQ(Setting(root, "ShortcutDescribe"), kShortcutText);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(ReadRawValue(root, kSettings, "ShortcutName", &type, &bytes));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(bytes, std::string(kShortcutText) + '\0');  // the zero is stored
  }
  // The two steps without work write nothing, not even a trace line.
  EXPECT_EQ(Call<int>("AsDownload", n, n, n, n, n, n, n, n, n), 0);
  EXPECT_EQ(Call<int>("AsExitDownload"), 0);
  EXPECT_EQ(Events(), (Strings{"notify 0 1", "notify 1 0 registered"}));
  EXPECT_EQ(Trace(),
            (Strings{"InitControl() begin", "InitControl() end", "AsSetup() begin",
                     "AsPreDownload() begin", kUnRegisterLine, "As PreDownload() end",
                     "AsAfterDownload() begin", "AsAfterDownload() end", "AsSetup() end"}));

  // The program runs on its own: its line may come at any place.
  Strings lines, calls, program;
  for (int i = 0; i < 200 && (lines = Calls()).size() < 3; ++i) Sleep(50);
  for (const std::string& line : lines)
    (line.rfind("tpvoun ", 0) == 0 ? program : calls).push_back(line);
  EXPECT_EQ(calls, (Strings{"PDNewInstance " + host_text_ + " 0", "DllRegisterServer"}));
  EXPECT_EQ(program, Strings{"tpvoun \"" + dir_ + "\\tpvoun.exe\" /r"});
  EXPECT_FALSE(FileExists(folder_.File("doubles.log")));
  // The registration balanced its own load of the control module.
  ExitControl(AsText(loader));
  EXPECT_FALSE(ControlLoaded());

  // The settings key goes only without sub-keys; a machine key the user may not write is skipped.
  const std::string logon = std::string(kSettings) + "\\Logon";
  SetStringValue(HKEY_CURRENT_USER, logon, "LogonState", "1");
  ScopedReadOnlyKey read_only(HKEY_LOCAL_MACHINE, kSettings);
  ASSERT_TRUE(read_only.active());
  EXPECT_EQ(Call<int>("AsPreDownload", n, n, n, "abc", "", ""), 0);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, logon));
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "ReturnPage"), "abc");
  EXPECT_EQ(Setting(HKEY_LOCAL_MACHINE, "ReturnPage"), "<missing>");
}

// A module path of MAX_PATH or more has no directory: nothing is started or loaded from the drive's
// root ("\" and the sibling's name); each step goes on as without its sibling.
TEST_F(PluginExportsTest, AModulePathTooLongForSiblingsStartsAndLoadsNone) {
  auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
  const std::wstring dir = wide(folder_.path()) + L"\\" + std::wstring(220, L'd'),
                     module = dir + L"\\Korvat.dll";
  CreateDirectoryW(dir.c_str(), nullptr);
  ASSERT_GE(module.size(), size_t(MAX_PATH));
  CopyFileW(wide(BinFile("Korvat.dll")).c_str(), module.c_str(), FALSE);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA("C:\\");
  const std::string decoys[] = {"tpvoun.exe", "zrtpctl.dll", "zrtpres.dll", "nvxrmenu.dll"};
  for (const std::string& name : decoys)
    CopyFileA(BinFile(name == "zrtpctl.dll" ? "zrtpctl_both.dll" : name).c_str(),
              ("C:\\" + name).c_str(), FALSE);

  module_.Reset(LoadLibraryW(module.c_str()));  // LoadLibraryA refuses such a path
  EXPECT_TRUE(module_);
  if (module_) {
    void* loader = Call<void*>("InitControl", host_text_.c_str());
    void* instance = Call<void*>("ZRNewInstance", host_);
    EXPECT_EQ(Call<int>("AsAfterDownload", n), 0);
    EXPECT_EQ(Call<UINT>("TapvoUninstall", n), 0u);  // removes the companions
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
  for (const std::string& name : decoys) DeleteFileA(("C:\\" + name).c_str());
  DeleteFileA("C:\\doubles.log");
  DeleteFileW(module.c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
