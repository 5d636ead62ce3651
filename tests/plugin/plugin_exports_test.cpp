// The plug-in exports as a download/installer host drives them: the module
// and its siblings in a folder whose path holds a space, a host window on the
// test's thread that records the notifications and the posted WM_SIZE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "harness/test_support.h"
#include "settings/settings_key.h"

using namespace korvat_test;

namespace {

using ZRNewInstanceFn = void*(WINAPI*)(HWND);
using ZRDeleteInstanceFn = void(WINAPI*)(void*);
using InitControlFn = void*(WINAPI*)(const char*);
using ExitControlFn = void(WINAPI*)(const char*);
using AsSetupFn = int(WINAPI*)(INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR,
                               INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR,
                               INT_PTR, INT_PTR);
using AsPreDownloadFn = int(WINAPI*)(INT_PTR, INT_PTR, INT_PTR, const char*, const char*,
                                     const char*);
using AsDownloadFn = int(WINAPI*)(INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR, INT_PTR,
                                  INT_PTR, INT_PTR);
using AsExitDownloadFn = int(WINAPI*)();
using AsAfterDownloadFn = int(WINAPI*)(INT_PTR);

const char kSettingsPath[] = "Software\\Nuvix\\TapvoMeeting";
const char kShortcutText[] = "Start Nuvix Tapvo Meeting";

// A handle or pointer as the host writes it: signed decimal at pointer size.
std::string AsText(const void* value) {
  return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(value)));
}

// The doubles' calls, one per line ending in LF.
std::vector<std::string> RecordedCalls(const std::string& path) {
  std::vector<std::string> lines;
  std::string bytes = ReadFileBytes(path);
  for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(bytes.substr(start, end - start));
  }
  return lines;
}

// What reached the host: notifications (sent) and messages found in the queue.
struct HostEvent {
  std::string kind;  // "notify", "WM_SIZE" or "thread" (a message without a window)
  WPARAM wParam;
  LPARAM lParam;
  bool registered;  // the control module had registered when the event arrived
  bool operator==(const HostEvent& o) const {
    return kind == o.kind && wParam == o.wParam && lParam == o.lParam;
  }
};

class PluginExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettings();
    folder_.reset(new TempFolder);
    trace_seen_ = 0;
    dir_ = folder_->path() + "\\plug in";
    CreateDirectoryA(dir_.c_str(), nullptr);
    Copy("Korvat.dll", "Korvat.dll");
    Copy("tpvoun.exe", "tpvoun.exe");
    notify_message_ = RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
    host_ = CreateHostWindow();
    ASSERT_NE(host_, nullptr);
    events_.clear();
    s_current = this;
  }
  void TearDown() override {
    module_.reset();
    DestroyWindow(host_);
    s_current = nullptr;
    DeleteSettings();
  }
  static void DeleteSettings() {
    DeleteKeyTree(HKEY_CURRENT_USER, kSettingsPath);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsPath);
  }

  void Copy(const std::string& built, const std::string& as) {
    CopyFileA(BinFile(built).c_str(), (dir_ + "\\" + as).c_str(), FALSE);
  }
  // Loads the module with tracing on, with `control` (a built variant, or
  // empty for none) beside it as zrtpctl.dll.
  void Load(const std::string& control) {
    if (!control.empty()) Copy(control, "zrtpctl.dll");
    ScopedTraceSwitch on("Korvat", 1);
    module_.reset(new LoadedLibrary(dir_ + "\\Korvat.dll"));
    ASSERT_TRUE(*module_);
    TraceMessages();  // the attach line
  }
  template <typename Fn>
  Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(module_->Proc(name)));
  }

  HWND CreateHostWindow() {
    static ATOM atom = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = &HostProc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "KorvatTestHost";
      return RegisterClassA(&wc);
    }();
    return CreateWindowExA(0, MAKEINTATOM(atom), "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (s_current != nullptr && message == s_current->notify_message_) {
      std::vector<std::string> calls = s_current->Doubles();
      bool registered =
          std::find(calls.begin(), calls.end(), "DllRegisterServer") != calls.end();
      s_current->events_.push_back({"notify", wParam, lParam, registered});
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  // Takes what was posted to the host window or to the thread.
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == nullptr) {
        events_.push_back({"thread", msg.wParam, msg.lParam, false});
      } else if (msg.hwnd == host_ && msg.message == WM_SIZE) {
        events_.push_back({"WM_SIZE", msg.wParam, msg.lParam, false});
      }
      DispatchMessageA(&msg);
    }
  }
  std::vector<HostEvent> TakeEvents() {
    Pump();
    std::vector<HostEvent> taken;
    taken.swap(events_);
    return taken;
  }

  // The messages written to the module's trace log since the last look.
  std::vector<std::string> TraceMessages() {
    std::vector<std::string> lines = ReadLines(dir_ + "\\Korvat.log");
    std::vector<std::string> messages;
    for (size_t i = trace_seen_; i < lines.size(); ++i) {
      if (lines[i].size() > 14 && lines[i][2] == ':' && lines[i].compare(8, 6, "      ") == 0) {
        messages.push_back(lines[i].substr(14));
      }
    }
    trace_seen_ = lines.size();
    return messages;
  }
  std::vector<std::string> Doubles() const { return RecordedCalls(dir_ + "\\doubles.log"); }
  bool ControlLoaded() const {
    return GetModuleHandleA((dir_ + "\\zrtpctl.dll").c_str()) != nullptr;
  }
  std::string Setting(HKEY root, const char* name) {
    return ReadStringValue(root, kSettingsPath, name);
  }

  static PluginExportsTest* s_current;
  std::unique_ptr<TempFolder> folder_;
  std::string dir_;
  std::unique_ptr<LoadedLibrary> module_;
  UINT notify_message_ = 0;
  HWND host_ = nullptr;
  std::vector<HostEvent> events_;
  size_t trace_seen_ = 0;
};

PluginExportsTest* PluginExportsTest::s_current = nullptr;

const std::vector<std::string> kExitLines = {"ExitControl() begin", "ExitControl() end"};

TEST_F(PluginExportsTest, ControlModuleIsCreatedThroughThePreferredFunctionAndReleasedOnce) {
  struct Case {
    const char* variant;
    std::string created;  // with "<host>" for the host window
    const char* deleted;
  } cases[] = {
      {"zrtpctl_both.dll", "PDNewInstance <host> 0", "ZRDeleteInstance 4201"},
      {"zrtpctl_zr_only.dll", "ZRNewInstance <host>", "ZRDeleteInstance 4202"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    TearDown();
    SetUp();
    Load(c.variant);
    const std::string host = AsText(host_);
    void* loader = Export<InitControlFn>("InitControl")(host.c_str());
    ASSERT_NE(loader, nullptr);
    std::string created = c.created;
    created.replace(created.find("<host>"), 6, host);
    EXPECT_EQ(Doubles(), std::vector<std::string>{created});
    EXPECT_TRUE(ControlLoaded());
    EXPECT_EQ(TakeEvents(), (std::vector<HostEvent>{{"WM_SIZE", 0, 0, false}}));
    EXPECT_EQ(TraceMessages(), (std::vector<std::string>{"InitControl() begin", "InitControl() end"}));

    // Values this module did not hand out are ignored after the trace lines.
    char unrelated[64] = "not a loader";
    for (std::string value : {std::string("0"), std::string(""), std::string("loader"),
                              std::string("12345"), AsText(unrelated), AsText(host_)}) {
      Export<ExitControlFn>("ExitControl")(value.c_str());
      EXPECT_EQ(TraceMessages(), kExitLines) << value;
    }
    Export<ExitControlFn>("ExitControl")(nullptr);
    EXPECT_EQ(TraceMessages(), kExitLines);
    EXPECT_STREQ(unrelated, "not a loader");
    EXPECT_TRUE(ControlLoaded());
    EXPECT_EQ(Doubles().size(), 1u);

    // The real value releases the control module; a second release is ignored.
    for (int release = 0; release < 2; ++release) {
      Export<ExitControlFn>("ExitControl")(AsText(loader).c_str());
      EXPECT_EQ(TraceMessages(), kExitLines);
    }
    EXPECT_EQ(Doubles(), (std::vector<std::string>{created, c.deleted}));
    EXPECT_FALSE(ControlLoaded());
    EXPECT_TRUE(TakeEvents().empty());
  }
}

TEST_F(PluginExportsTest, AFailedLoadPostsNothingAndLeavesAnEmptyLoader) {
  for (const char* variant : {"zrtpctl_no_delete.dll", ""}) {
    SCOPED_TRACE(variant);
    TearDown();
    SetUp();
    Load(variant);
    void* loader = Export<InitControlFn>("InitControl")(AsText(host_).c_str());
    ASSERT_NE(loader, nullptr);
    EXPECT_FALSE(ControlLoaded());
    EXPECT_TRUE(TakeEvents().empty());
    Export<ExitControlFn>("ExitControl")(AsText(loader).c_str());
    EXPECT_TRUE(Doubles().empty());  // nothing was created, so nothing deleted
    EXPECT_EQ(TraceMessages(), (std::vector<std::string>{"InitControl() begin", "InitControl() end",
                                                         "ExitControl() begin", "ExitControl() end"}));
  }
}

TEST_F(PluginExportsTest, WithoutAHostWindowTheControlGetsNoParentAndNothingIsPosted) {
  Load("zrtpctl_both.dll");
  void* loader = Export<InitControlFn>("InitControl")("no window");
  EXPECT_EQ(Doubles(), std::vector<std::string>{"PDNewInstance 0 0"});
  EXPECT_TRUE(TakeEvents().empty());  // not even a thread message
  Export<ExitControlFn>("ExitControl")(AsText(loader).c_str());
  EXPECT_FALSE(ControlLoaded());
}

// A parent whose client area is 300 by 200.
HWND CreateParent(int x, int y) {
  return CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, x, y, 300, 200, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

RECT RectInParent(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(PluginExportsTest, PluginWindowCoversTheParentAsCreatedAndGoesWithItsInstance) {
  Load("");
  auto new_instance = Export<ZRNewInstanceFn>("ZRNewInstance");
  auto delete_instance = Export<ZRDeleteInstanceFn>("ZRDeleteInstance");
  HWND parent = CreateParent(120, 80);
  void* instance = new_instance(parent);
  ASSERT_NE(instance, nullptr);
  HWND child = GetWindow(parent, GW_CHILD);
  ASSERT_NE(child, nullptr);

  RECT rect = RectInParent(child);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 300);
  EXPECT_EQ(rect.bottom, 200);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)), 0x56000000u);
  EXPECT_EQ(GetClassLongPtrA(child, GCL_STYLE), 0x000Bu);
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(child, GCLP_HCURSOR)),
            LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(GetClassLongPtrA(child, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
  char class_name[64] = {};
  GetClassNameA(child, class_name, sizeof(class_name));
  EXPECT_EQ(std::strlen(class_name), 4 + 2 * sizeof(void*)) << class_name;
  EXPECT_EQ(std::string(class_name).find_first_not_of("0123456789ABCDEF", 4), std::string::npos)
      << class_name;
  EXPECT_EQ(std::string(class_name, 4), "ATL:");

  // The window does not follow the parent.
  SetWindowPos(parent, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
  rect = RectInParent(child);
  EXPECT_EQ(rect.right - rect.left, 300);
  EXPECT_EQ(rect.bottom - rect.top, 200);

  // A second instance shares the class registered by the first.
  void* second = new_instance(parent);
  HWND second_child = GetWindow(child, GW_HWNDNEXT);
  if (second_child == nullptr) second_child = GetWindow(parent, GW_CHILD);
  char second_class[64] = {};
  GetClassNameA(second_child, second_class, sizeof(second_class));
  EXPECT_STREQ(second_class, class_name);
  EXPECT_EQ(TraceMessages(), (std::vector<std::string>{"ZRNewInstance() begin", "ZRNewInstance() end",
                                                       "ZRNewInstance() begin", "ZRNewInstance() end"}));

  delete_instance(instance);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_TRUE(IsWindow(second_child));

  // Null, an unknown pointer and a second release only write the two lines.
  std::vector<unsigned char> unrelated(64, 0xAB);
  for (void* value : {static_cast<void*>(nullptr), static_cast<void*>(unrelated.data()),
                      instance}) {
    delete_instance(value);
  }
  EXPECT_EQ(unrelated, std::vector<unsigned char>(64, 0xAB));
  EXPECT_TRUE(IsWindow(second_child));

  // The parent took the second window with it; the instance still goes.
  DestroyWindow(parent);
  delete_instance(second);
  std::vector<std::string> lines = TraceMessages();
  ASSERT_EQ(lines.size(), 10u);
  for (size_t i = 0; i < lines.size(); i += 2) {
    EXPECT_EQ(lines[i], "ZRDeleteInstance() begin");
    EXPECT_EQ(lines[i + 1], "ZRDeleteInstance() end");
  }
}

TEST_F(PluginExportsTest, PreDownloadRebuildsTheSettingsInBothHivesAndNotifiesOnceAHostIsKnown) {
  Load("");
  auto pre_download = Export<AsPreDownloadFn>("AsPreDownload");
  SetStringValue(HKEY_CURRENT_USER, kSettingsPath, "Option", "ie");

  // Before InitControl there is no host to tell.
  EXPECT_EQ(pre_download(0, 0, 0, "abc", "", ""), 0);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "Option"), "<missing>");
  EXPECT_EQ(TraceMessages(),
            (std::vector<std::string>{
                "AsPreDownload() begin",
                "UnRegisterKey() parent_key = SOFTWARE\\Nuvix,section_key = TapvoMeeting",
                "As PreDownload() end"}));

  Export<InitControlFn>("InitControl")(AsText(host_).c_str());
  struct Case {
    const char* page;
    const char* stored;
  } cases[] = {{"ab", "<missing>"}, {"abc", "abc"}, {nullptr, "<missing>"}, {"", "<missing>"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page != nullptr ? c.page : "null");
    SetStringValue(HKEY_CURRENT_USER, kSettingsPath, "ReturnPage", "old");
    EXPECT_EQ(pre_download(1, 2, 3, c.page, "x", "y"), 0);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      EXPECT_EQ(Setting(root, "ShortcutName"), kShortcutText);
      EXPECT_EQ(Setting(root, "ShortcutDescribe"), kShortcutText);
      EXPECT_EQ(Setting(root, "ReturnPage"), c.stored);
    }
    EXPECT_EQ(TakeEvents(), (std::vector<HostEvent>{{"notify", 0, 1, false}}));
  }
}

TEST_F(PluginExportsTest, SetupRunsTheStepsWithoutAReturnPageAndNotifiesEachEnd) {
  Load("");  // no control module: no registration, the host is told all the same
  Export<InitControlFn>("InitControl")(AsText(host_).c_str());
  TraceMessages();
  SetStringValue(HKEY_CURRENT_USER, kSettingsPath, "ReturnPage", "http://old/page");
  EXPECT_EQ(Export<AsSetupFn>("AsSetup")(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), 0);
  EXPECT_EQ(Setting(HKEY_CURRENT_USER, "ReturnPage"), "<missing>");
  EXPECT_EQ(Setting(HKEY_LOCAL_MACHINE, "ShortcutName"), kShortcutText);
  EXPECT_EQ(TakeEvents(), (std::vector<HostEvent>{{"notify", 0, 1, false}, {"notify", 1, 0, false}}));
  EXPECT_EQ(TraceMessages(),
            (std::vector<std::string>{
                "AsSetup() begin", "AsPreDownload() begin",
                "UnRegisterKey() parent_key = SOFTWARE\\Nuvix,section_key = TapvoMeeting",
                "As PreDownload() end", "AsAfterDownload() begin", "AsAfterDownload() end",
                "AsSetup() end"}));

  // The two steps without work write nothing.
  EXPECT_EQ(Export<AsDownloadFn>("AsDownload")(1, 2, 3, 4, 5, 6, 7, 8, 9), 0);
  EXPECT_EQ(Export<AsExitDownloadFn>("AsExitDownload")(), 0);
  EXPECT_TRUE(TraceMessages().empty());
  EXPECT_TRUE(TakeEvents().empty());
}

// Waits for the started program to leave its line in the log.
std::vector<std::string> WaitForLines(const std::string& path, size_t count) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200 && (lines = RecordedCalls(path)).size() < count; ++i) Sleep(50);
  return lines;
}

TEST_F(PluginExportsTest, AfterDownloadStartsTheUninstallerRegistersTheControlThenNotifies) {
  // A program named by the path up to its space must not be the one started.
  CopyFileA(BinFile("tpvoun.exe").c_str(), folder_->File("plug.exe").c_str(), FALSE);
  Load("zrtpctl_both.dll");
  void* loader = Export<InitControlFn>("InitControl")(AsText(host_).c_str());
  TakeEvents();

  EXPECT_EQ(Export<AsAfterDownloadFn>("AsAfterDownload")(0), 0);
  std::vector<HostEvent> events = TakeEvents();
  ASSERT_EQ(events, (std::vector<HostEvent>{{"notify", 1, 0, false}}));
  EXPECT_TRUE(events[0].registered);  // the host is told after the registration

  // The program runs on its own; its line may come before or after the others.
  std::vector<std::string> module_calls, program;
  for (const std::string& line : WaitForLines(dir_ + "\\doubles.log", 3)) {
    (line.rfind("tpvoun ", 0) == 0 ? program : module_calls).push_back(line);
  }
  EXPECT_EQ(module_calls, (std::vector<std::string>{"PDNewInstance " + AsText(host_) + " 0",
                                                    "DllRegisterServer"}));
  EXPECT_EQ(program, std::vector<std::string>{"tpvoun \"" + dir_ + "\\tpvoun.exe\" /r"});
  EXPECT_FALSE(FileExists(folder_->File("doubles.log")));
  EXPECT_EQ(TraceMessages(),
            (std::vector<std::string>{"InitControl() begin", "InitControl() end",
                                      "AsAfterDownload() begin", "AsAfterDownload() end"}));
  // The registration's own load of the control module was balanced.
  Export<ExitControlFn>("ExitControl")(AsText(loader).c_str());
  EXPECT_FALSE(ControlLoaded());
}

}  // namespace
