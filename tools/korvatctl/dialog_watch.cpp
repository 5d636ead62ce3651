#include "dialog_watch.h"

#include <algorithm>
#include <cstdio>
#include <string>

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

constexpr DWORD kPollMs = 100;
constexpr char kDialogClass[] = "#32770";

bool HasClass(HWND window, const char* name) {
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof(class_name));
  return lstrcmpiA(class_name, name) == 0;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && HasClass(window, kDialogClass)) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

// The texts of the dialog's static controls, joined by spaces.
BOOL CALLBACK CollectText(HWND child, LPARAM text) {
  if (!HasClass(child, "Static")) return TRUE;
  char line[1024] = {};
  GetWindowTextA(child, line, sizeof(line));
  if (line[0] == '\0') return TRUE;
  std::string& joined = *reinterpret_cast<std::string*>(text);
  joined += joined.empty() ? "" : " ";
  joined += line;
  return TRUE;
}

}  // namespace

DialogWatch::DialogWatch()
    : m_ownerThread(GetCurrentThreadId()), m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (m_stop) m_thread.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

DialogWatch::~DialogWatch() {
  if (m_thread) {
    SetEvent(m_stop.Get());
    WaitForSingleObject(m_thread.Get(), INFINITE);
  }
}

DWORD WINAPI DialogWatch::Run(void* self) {
  DialogWatch* watch = static_cast<DialogWatch*>(self);
  while (WaitForSingleObject(watch->m_stop.Get(), kPollMs) == WAIT_TIMEOUT) watch->CloseDialogs();
  return 0;
}

void DialogWatch::CloseDialogs() {
  std::vector<HWND> dialogs;
  EnumThreadWindows(m_ownerThread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
  for (HWND dialog : dialogs) {
    if (std::find(m_closed.begin(), m_closed.end(), dialog) != m_closed.end()) continue;
    char caption[512] = {};
    GetWindowTextA(dialog, caption, sizeof(caption));
    std::string text;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&text));
    std::printf("dialog \"%s\": %s (closed by korvatctl)\n", caption, text.c_str());
    std::fflush(stdout);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    m_closed.push_back(dialog);
  }
}
