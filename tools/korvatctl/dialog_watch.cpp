#include "dialog_watch.h"

#include <algorithm>
#include <cstdio>

#include "platform/scoped_handle.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

constexpr DWORD kPollMs = 100;

DialogWatch* g_watch = nullptr;

bool HasClass(HWND window, const char* name) {
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof(class_name));
  return lstrcmpiA(class_name, name) == 0;
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

// Notes the dialog, prints it when asked and closes it with OK.
DialogWatch::Seen Answer(HWND dialog, bool print) {
  char caption[512] = {};
  GetWindowTextA(dialog, caption, sizeof(caption));
  DialogWatch::Seen seen = {caption, "", GetWindow(dialog, GW_OWNER)};
  EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&seen.text));
  if (print) {
    std::printf("dialog \"%s\": %s (closed by korvatctl)\n", caption, seen.text.c_str());
    std::fflush(stdout);
  }
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return seen;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM found) {
  if (IsWindowVisible(window) && HasClass(window, "#32770")) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

// One argument as the C runtime's parser reads it back: quoted when it holds
// a space, a tab or a quote, backslashes doubled only before a quote.
void AppendArgument(std::string* line, const std::string& argument) {
  if (!line->empty()) *line += ' ';
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
    *line += argument;
    return;
  }
  *line += '"';
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') line->append(backslashes + 1, '\\');
      backslashes = 0;
    }
    *line += c;
  }
  line->append(backslashes, '\\');
  *line += '"';
}

}  // namespace

DialogWatch::DialogWatch(bool print)
    : m_print(print),
      m_hook(SetWindowsHookExA(WH_CALLWNDPROCRET, AfterCall, nullptr, GetCurrentThreadId())) {
  g_watch = this;
}

DialogWatch::~DialogWatch() {
  if (m_hook != nullptr) UnhookWindowsHookEx(m_hook);
  g_watch = nullptr;
}

// After the dialog's own WM_INITDIALOG: its texts are set by then.
LRESULT CALLBACK DialogWatch::AfterCall(int code, WPARAM wparam, LPARAM lparam) {
  const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION && call->message == WM_INITDIALOG && g_watch != nullptr) {
    g_watch->m_seen.push_back(Answer(call->hwnd, g_watch->m_print));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

int RunAnswerDialogs(const Invocation& invocation) {
  std::string line;
  for (const std::string& argument : invocation.args) AppendArgument(&line, argument);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "korvatctl: cannot start %s (error %lu)\n", line.c_str(), GetLastError());
    return kExitFailed;
  }
  ScopedHandle thread(process.hThread);
  ScopedHandle child(process.hProcess);
  // The program's dialogs belong to other processes (an installer's custom
  // actions run in one of their own): the desktop's windows are looked at.
  std::vector<HWND> answered;
  while (WaitForSingleObject(child.Get(), kPollMs) == WAIT_TIMEOUT) {
    std::vector<HWND> dialogs;
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND dialog : dialogs) {
      if (std::find(answered.begin(), answered.end(), dialog) != answered.end()) continue;
      Answer(dialog, true);
      answered.push_back(dialog);
    }
  }
  DWORD exit_code = 0;
  GetExitCodeProcess(child.Get(), &exit_code);
  std::printf("%s: exit code %lu\n", invocation.args[0].c_str(), exit_code);
  return static_cast<int>(exit_code);
}
