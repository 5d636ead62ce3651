// The setup notice dialog as the toolbar installation shows it: a second
// thread finds it, looks at where and how it stands, and closes it the way a
// user would.
#include "plugin/setup_notice_dialog.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "harness/test_support.h"

using namespace korvat_test;

namespace {

struct Seen {
  bool found = false, owner_enabled = true, closed = false;
  RECT rect = {};
  LONG ex_style = 0;
};

// Finds the dialog, notes what it shows, closes it with `message`.
void WatchAndClose(UINT message, WPARAM wParam, HWND owner, Seen* seen) {
  // Shown once it has been placed.
  HWND dialog = nullptr;
  for (int i = 0; i < 200; ++i, Sleep(25)) {
    dialog = FindWindowA("#32770", "Nuvix Tapvo Meeting Setup");
    if (dialog != nullptr && IsWindowVisible(dialog)) break;
  }
  if (!(seen->found = dialog != nullptr && IsWindowVisible(dialog))) return;
  GetWindowRect(dialog, &seen->rect);
  seen->ex_style = GetWindowLongA(dialog, GWL_EXSTYLE);
  seen->owner_enabled = IsWindowEnabled(owner);
  PostMessageA(dialog, message, wParam, 0);
  for (int i = 0; i < 200 && IsWindow(dialog); ++i) Sleep(25);
  seen->closed = !IsWindow(dialog);
  if (!seen->closed) {  // end it anyway rather than hang the test
    EndDialog(dialog, 1);
    PostMessageA(dialog, WM_NULL, 0, 0);
  }
}

TEST(SetupNoticeDialogTest, ShowsCentredAndTopmostAndClosesByOkEscapeAndTheCloseBox) {
  // The module's own template, as when no zrtpres.dll lies beside it.
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  LoadedLibrary module(folder.File("Korvat.dll"));
  ASSERT_TRUE(module);
  ModuleInstance = module.get();
  LoadResourceModule();
  // An owner away from the screen's centre: the dialog is centred regardless.
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 20, 200, 100,
                               nullptr, nullptr, nullptr, nullptr);
  struct Closer {
    const char* name;
    UINT message;
    WPARAM wParam;
  } closers[] = {{"OK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
                 {"Escape", WM_KEYDOWN, VK_ESCAPE},
                 {"close box", WM_SYSCOMMAND, SC_CLOSE}};
  for (const Closer& closer : closers) {
    SCOPED_TRACE(closer.name);
    Seen seen;
    std::thread user([&] { WatchAndClose(closer.message, closer.wParam, owner, &seen); });
    EXPECT_EQ(SetupNoticeDialog().DoModal(owner), 0);
    user.join();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.closed);
    const int width = seen.rect.right - seen.rect.left;
    const int height = seen.rect.bottom - seen.rect.top;
    EXPECT_GT(width, 0);
    EXPECT_EQ(seen.rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(seen.rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    EXPECT_NE(seen.ex_style & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(seen.owner_enabled);  // modal to its owner, which gets it back
    EXPECT_TRUE(IsWindowEnabled(owner));
  }
  DestroyWindow(owner);
  ResourceModule = nullptr;
  ModuleInstance = nullptr;
}

}  // namespace
