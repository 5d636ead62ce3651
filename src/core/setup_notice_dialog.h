// The setup notice dialog: asks the user to close his other browsers before
// the toolbar button is used. Modal, topmost, centred on the primary screen.
#pragma once

#include <windows.h>

namespace korvat {

class SetupNoticeDialog {
 public:
  SetupNoticeDialog() = default;
  SetupNoticeDialog(const SetupNoticeDialog&) = delete;
  SetupNoticeDialog& operator=(const SetupNoticeDialog&) = delete;

  // Shows the dialog owned by `owner` (may be null) and returns when the user
  // has closed it: 0, or -1 when the dialog could not be shown.
  INT_PTR DoModal(HWND owner);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();

  HWND m_hWnd = nullptr;
};

}  // namespace korvat
