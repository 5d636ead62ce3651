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

DialogWatch::DialogWatch(DWORD thread)
    : m_ownerThread(thread), m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
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
  if (m_ownerThread != 0) {
    EnumThreadWindows(m_ownerThread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
  } else {
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
  }
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

namespace {

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
  DWORD exit_code = 0;
  {
    DialogWatch watch(0);
    WaitForSingleObject(child.Get(), INFINITE);
    GetExitCodeProcess(child.Get(), &exit_code);
  }
  std::printf("%s: exit code %lu\n", invocation.args[0].c_str(), exit_code);
  return static_cast<int>(exit_code);
}
