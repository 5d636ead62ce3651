// The client_frame double as a test runs it: its window class, and a holder
// that runs it from a folder until the end of the scope.
#pragma once

#include <windows.h>

#include <string>

inline constexpr char kClientFrameWindowClass[] =
    "Nvx_FrameWnd_Tapvo_13D821D2_807A_40C9_AA97_220F9D84041F";

class RunningClientFrame {
 public:
  // Starts `exe` (a copy of client_frame.exe) and waits until its window is up.
  explicit RunningClientFrame(const std::string& exe) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string command = "\"" + exe + "\" 120";
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_process)) {
      return;
    }
    for (int i = 0; i < 300 && !(m_window = FindWindowA(kClientFrameWindowClass, nullptr)); ++i) {
      Sleep(50);
    }
  }
  ~RunningClientFrame() {
    if (m_window != nullptr) PostMessageA(m_window, WM_CLOSE, 0, 0);
    if (m_process.hProcess == nullptr) return;
    if (WaitForSingleObject(m_process.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(m_process.hProcess, 1);
    }
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
  }
  RunningClientFrame(const RunningClientFrame&) = delete;
  RunningClientFrame& operator=(const RunningClientFrame&) = delete;
  HWND window() const { return m_window; }

 private:
  PROCESS_INFORMATION m_process = {};
  HWND m_window = nullptr;
};
