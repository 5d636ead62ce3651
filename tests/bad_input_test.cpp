// Bad input at the module's edges, handed over as its callers hand it: texts
// and numbers given to the exports, settings values of the wrong type or
// size, cookie files of odd shapes, and a module path too long for a
// sibling path. Each row names the result and what the settings key holds
// afterwards.
#include <gtest/gtest.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "doubles/client_frame.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "registration/feature_module.h"
#include "toolbar/browser_site_double.h"

using namespace korvat_test;

namespace {

using Strings = std::vector<std::string>;
const char kIntact[] = "<intact>";  // the user's settings key exactly as before
const CLSID kKorvatExec = {
    0x80947ADC, 0x151D, 0x490B, {0x87, 0xF1, 0x7C, 0x8C, 0xE1, 0xB4, 0x62, 0x20}};

std::string AsText(const void* value) {
  return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(value)));
}
std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", value);
  return text;
}
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// What reached the witness windows: the host notification and a WM_SIZE of
// 0 by 0, which only the plug-in posts.
Strings g_seen;
LRESULT CALLBACK WitnessProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  static const UINT notify = RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
  if (message != notify && !(message == WM_SIZE && w == 0 && l == 0)) {
    return DefWindowProcA(hwnd, message, w, l);
  }
  g_seen.push_back((message == WM_SIZE ? "WM_SIZE " : "notify ") + std::to_string(w) + " " +
                   std::to_string(l));
  return 0;
}
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}
// A top-level window of this thread that records what reaches it.
HWND NewWitness() {
  static const ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &WitnessProc;
    wc.lpszClassName = "KorvatBadInputWitness";
    return RegisterClassA(&wc);
  }();
  HWND window = CreateWindowExA(0, MAKEINTATOM(atom), "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
  Pump();
  g_seen.clear();
  return window;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override { CleanFeatureKeys(); }
  void TearDown() override {
    Free();
    CleanFeatureKeys();
  }
  // The module loaded afresh from the folder, with no module-wide state left.
  void Load() {
    Free();
    module_ = LoadLibraryA(folder_.File("Korvat.dll").c_str());
    ASSERT_NE(module_, nullptr);
  }
  void Free() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }
  template <typename R, typename... Args>
  auto Export(const char* name) {
    return reinterpret_cast<R(WINAPI*)(Args...)>(
        reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  TempFolder folder_;
  HMODULE module_ = nullptr;
};

// Host windows and loaders travel as decimal text. Only a real window gets
// the WM_SIZE and the notification: 65535 is HWND_BROADCAST, which would
// reach every top-level window. A value that names no loader releases none.
TEST_F(BadInputTest, HostValuesThatNameNoWindowReachNoWindow) {
  folder_.CopyFromBin("Korvat.dll");
  folder_.CopyFromBin("zrtpctl_both.dll", "zrtpctl.dll");
  Load();
  auto init_control = Export<void*, const char*>("InitControl");
  auto exit_control = Export<void, const char*>("ExitControl");
  auto new_instance = Export<void*, HWND>("ZRNewInstance");
  auto delete_instance = Export<void, void*>("ZRDeleteInstance");
  auto pre_download = Export<int, INT_PTR, INT_PTR, INT_PTR, const char*, const char*,
                             const char*>("AsPreDownload");
  const std::string control = folder_.File("zrtpctl.dll");
  HWND host = NewWitness(), gone = NewWitness();
  DestroyWindow(gone);
  const std::string host_text = AsText(host), gone_text = AsText(gone);
  const struct {
    const char* text;  // null: a null pointer
    HWND parent;       // what ZRNewInstance is given for the same value
  } rows[] = {
      {host_text.c_str(), host}, {nullptr, nullptr}, {"", nullptr}, {"abc", nullptr},
      {"12abc", reinterpret_cast<HWND>(12)}, {"99999999999999999999999", nullptr},
      {"-1", reinterpret_cast<HWND>(-1)}, {"65535", HWND_BROADCAST},
      {gone_text.c_str(), gone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text != nullptr ? row.text : "null");
    const bool is_host = row.parent == host;
    void* loader = init_control(row.text);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(pre_download(0, 0, 0, nullptr, nullptr, nullptr), 0);
    exit_control(row.text);  // names no loader: the control stays
    EXPECT_NE(GetModuleHandleA(control.c_str()), nullptr);
    exit_control(AsText(loader).c_str());
    EXPECT_EQ(GetModuleHandleA(control.c_str()), nullptr);
    void* instance = new_instance(row.parent);
    EXPECT_NE(instance, nullptr);
    EXPECT_EQ(GetWindow(host, GW_CHILD) != nullptr, is_host);
    delete_instance(instance);
    Pump();
    EXPECT_EQ(g_seen, is_host ? (Strings{"notify 0 1", "WM_SIZE 0 0"}) : Strings{});
    g_seen.clear();
  }
  DestroyWindow(host);
}

// A module path of MAX_PATH characters or more leaves no module directory.
// The sibling paths would then begin with "\" and name the root of the
// current drive; nothing may be started or loaded from there, and each step
// goes on as without its sibling.
TEST_F(BadInputTest, AModulePathTooLongForSiblingsStartsAndLoadsNone) {
  std::string dir = folder_.path();
  for (int level = 0; level < 2; ++level) {
    dir += "\\" + std::string(150, 'd');
    CreateDirectoryW(Wide(dir).c_str(), nullptr);
  }
  const std::wstring module = Wide(dir + "\\Korvat.dll");
  ASSERT_GE(module.size(), size_t(MAX_PATH));
  CopyFileW(Wide(BinFile("Korvat.dll")).c_str(), module.c_str(), FALSE);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA("C:\\");
  const char* const decoys[][2] = {{"tpvoun.exe", "C:\\tpvoun.exe"},
                                   {"zrtpctl_both.dll", "C:\\zrtpctl.dll"},
                                   {"zrtpres.dll", "C:\\zrtpres.dll"}};
  for (const auto& decoy : decoys) CopyFileA(BinFile(decoy[0]).c_str(), decoy[1], FALSE);

  module_ = LoadLibraryW(module.c_str());  // LoadLibraryA refuses such a path
  EXPECT_NE(module_, nullptr);
  if (module_ != nullptr) {
    HWND host = NewWitness();
    void* loader = Export<void*, const char*>("InitControl")(AsText(host).c_str());
    void* instance = Export<void*, HWND>("ZRNewInstance")(host);
    auto after_download = Export<int, INT_PTR>("AsAfterDownload");
    EXPECT_EQ(after_download(0), 0);
    Pump();
    EXPECT_EQ(g_seen, Strings{"notify 1 0"});
    EXPECT_EQ(GetModuleHandleA("C:\\zrtpres.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("C:\\zrtpctl.dll"), nullptr);
    for (int i = 0; i < 30 && !FileExists("C:\\doubles.log"); ++i) Sleep(100);  // tpvoun.exe
    EXPECT_EQ(ReadLines("C:\\doubles.log"), Strings{});
    Export<void, void*>("ZRDeleteInstance")(instance);
    Export<void, const char*>("ExitControl")(AsText(loader).c_str());
    DestroyWindow(host);
    g_seen.clear();
    Free();
  }
  SetCurrentDirectoryA(cwd);
  for (const auto& decoy : decoys) DeleteFileA(decoy[1]);
  DeleteFileA("C:\\doubles.log");
  DeleteFileW(module.c_str());
  for (int level = 0; level < 2; ++level, dir.resize(dir.rfind('\\'))) {
    RemoveDirectoryW(Wide(dir).c_str());
  }
}

}  // namespace
