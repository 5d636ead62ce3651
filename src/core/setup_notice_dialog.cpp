#include "core/setup_notice_dialog.h"

#include "core/module_state.h"
#include "core/resource_module.h"
#include "resources/resource_ids.h"

namespace korvat {

INT_PTR SetupNoticeDialog::DoModal(HWND owner) {
  // zrtpres.dll may carry its own version of the dialog; before any resource
  // module is loaded the module's own copy serves.
  HMODULE resources = ResourceModule != nullptr ? ResourceModule : ModuleInstance;
  INT_PTR result = DialogBoxParamA(resources, MAKEINTRESOURCEA(IDD_SETUP_NOTICE), owner,
                                   &SetupNoticeDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

void SetupNoticeDialog::OnInitDialog() {
  SetForegroundWindow(m_hWnd);
  // Centred on the primary screen whoever owns it, and above every other
  // window, so the user does not miss it behind the browsers.
  RECT rect = {};
  GetWindowRect(m_hWnd, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

INT_PTR CALLBACK SetupNoticeDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* self = reinterpret_cast<SetupNoticeDialog*>(lParam);
      SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
      self->m_hWnd = hDlg;
      self->OnInitDialog();
      return FALSE;  // the dialog manager does not set the default focus
    }
    case WM_COMMAND:
      // IDCANCEL also comes from the close box and the Escape key.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(hDlg, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace korvat
