// The setup notice dialog as the toolbar installation shows it: a second
// thread finds it, looks at where and how it stands, and closes it the way a
// user would.
#include "core/setup_notice_dialog.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "harness/test_support.h"

using namespace korvat_test;

namespace {

TEST(SetupNoticeDialogTest, ShowsCentredAndTopmostAndClosesByOkEscapeAndTheCloseBox) {
  // The module's own template, as when no zrtpres.dll lies beside it.
  ModuleCopy module;
  ASSERT_TRUE(module.loaded());
  LoadResourceModule();
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

}  // namespace
