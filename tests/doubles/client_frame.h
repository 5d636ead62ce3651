// The client_frame double as a test starts and stops it: its window class,
// and a holder that runs it from a folder until the end of the scope.
#pragma once

#include <windows.h>

#include <string>

inline constexpr char kClientFrameWindowClass[] =
    "Nvx_FrameWnd_Tapvo_13D821D2_807A_40C9_AA97_220F9D84041F";

// Starts `exe` (a copy of client_frame.exe) and waits until its window is
// up; the destructor closes the window and waits for the process to end.
class RunningClientFrame {
 public:
  explicit RunningClientFrame(const std::string& exe, int seconds = 120) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string command = "\"" + exe + "\" " + std::to_string(seconds);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
      process_ = {};
      return;
    }
    for (int i = 0; i < 300 && window_ == nullptr; ++i) {
      window_ = FindWindowA(kClientFrameWindowClass, nullptr);
      if (window_ == nullptr) Sleep(50);
    }
  }
  ~RunningClientFrame() { Stop(); }
  RunningClientFrame(const RunningClientFrame&) = delete;
  RunningClientFrame& operator=(const RunningClientFrame&) = delete;

  HWND window() const { return window_; }
  void Stop() {
    if (window_ != nullptr) PostMessageA(window_, WM_CLOSE, 0, 0);
    window_ = nullptr;
    if (process_.hProcess != nullptr) {
      if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    process_ = {};
  }

 private:
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};
