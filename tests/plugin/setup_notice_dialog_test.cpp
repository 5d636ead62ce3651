// The setup notice dialog as the toolbar installation shows it: a second
// thread finds it, looks at where and how it stands, and closes it the way a
// user would.
#include "plugin/setup_notice_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "harness/test_support.h"

using namespace korvat_test;

namespace {

const char kCaption[] = "Nuvix Tapvo Meeting Setup";

// What the second thread saw of the dialog.
struct Seen {
  bool found = false;
  RECT rect = {};
  LONG ex_style = 0;
  bool owner_enabled = true;
  bool closed = false;
};

HWND WaitForDialog() {
  for (int i = 0; i < 200; ++i) {
    if (HWND dialog = FindWindowA("#32770", kCaption)) return dialog;
    Sleep(25);
  }
  return nullptr;
}

bool WaitUntilGone(HWND dialog) {
  for (int i = 0; i < 200 && IsWindow(dialog); ++i) Sleep(25);
  return !IsWindow(dialog);
}

class SetupNoticeDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyFromBin("Korvat.dll");
    module_ = LoadLibraryA(folder_.File("Korvat.dll").c_str());
    ASSERT_NE(module_, nullptr);
    ModuleInstance = module_;
    ResourceModule = nullptr;
    LoadResourceModule();  // no zrtpres.dll: the module's own copy
  }
  void TearDown() override {
    ResourceModule = nullptr;
    ModuleInstance = nullptr;
    if (module_ != nullptr) FreeLibrary(module_);
  }
  TempFolder folder_;
  HMODULE module_ = nullptr;
};

TEST_F(SetupNoticeDialogTest, ShowsCentredAndTopmostAndClosesByOkEscapeAndTheCloseBox) {
  struct Closer {
    const char* name;
    UINT message;
    WPARAM wParam;
  } closers[] = {
      {"OK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
      {"Escape", WM_KEYDOWN, VK_ESCAPE},
      {"close box", WM_SYSCOMMAND, SC_CLOSE},
  };
  // An owner away from the screen's centre: the dialog is centred regardless.
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 20, 200, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  const int screen_cx = GetSystemMetrics(SM_CXSCREEN);
  const int screen_cy = GetSystemMetrics(SM_CYSCREEN);

  for (const Closer& closer : closers) {
    SCOPED_TRACE(closer.name);
    Seen seen;
    std::thread user([&] {
      HWND dialog = WaitForDialog();
      if (dialog == nullptr) return;
      seen.found = true;
      GetWindowRect(dialog, &seen.rect);
      seen.ex_style = GetWindowLongA(dialog, GWL_EXSTYLE);
      seen.owner_enabled = IsWindowEnabled(owner) != FALSE;
      PostMessageA(dialog, closer.message, closer.wParam, 0);
      seen.closed = WaitUntilGone(dialog);
      if (!seen.closed) PostMessageA(dialog, WM_COMMAND, IDOK, 0);  // do not hang the test
    });
    SetupNoticeDialog dialog;
    EXPECT_EQ(dialog.DoModal(owner), 0);
    user.join();

    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.closed);
    const int width = seen.rect.right - seen.rect.left;
    const int height = seen.rect.bottom - seen.rect.top;
    EXPECT_GT(width, 0);
    EXPECT_EQ(seen.rect.left, (screen_cx - width) / 2);
    EXPECT_EQ(seen.rect.top, (screen_cy - height) / 2);
    EXPECT_NE(seen.ex_style & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(seen.owner_enabled);  // modal to its owner
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
}

TEST_F(SetupNoticeDialogTest, AMissingTemplateShowsNothingAndReturnsAtOnce) {
  // A module that carries no dialog stands for a zrtpres.dll without it.
  LoadedLibrary other(BinFile("zrtpctl_both.dll"));
  ASSERT_TRUE(other);
  ResourceModule = other.get();
  SetupNoticeDialog dialog;
  EXPECT_EQ(dialog.DoModal(nullptr), -1);
  EXPECT_EQ(FindWindowA("#32770", kCaption), nullptr);
  ResourceModule = nullptr;
}

}  // namespace
