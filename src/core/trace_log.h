// The per-process trace log. Off unless the registry switch
// HKCU\Software\Nuvix\Config\TRACE_ENABLE_<module name> is 1 or 3; when on,
// every line goes to <module name>.log beside the module, stamped with the
// time, and (switch 3) to the debugger output as well.
#pragma once

#include <windows.h>

#include <cstdio>

#include "platform/scoped_lock.h"

namespace korvat {

class TraceLog {
 public:
  TraceLog();
  virtual ~TraceLog();

  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Builds the log and switch names from the module's file name.
  void Init();
  // The same from a given module file name.
  void InitFromModulePath(const char* module_path);
  // Reads the switch: 1 (on) or 0 (off); may turn on the debugger output.
  int ReadSwitch();
  void SetEnabled(int enabled) { m_bEnabled = enabled; }

  // Ends the run: the "End Run" banner when a line was written, and the file
  // closed. The module calls it at process detach; the destructor does it
  // for a log that no module ends.
  void End();

  // Writes one line; 1 when written, 0 otherwise.
  int Write(const char* format, ...) __attribute__((format(ms_printf, 2, 3)));

  const char* switch_name() const { return m_szSwitchName; }

 private:
  // Non-zero writes the "First Run" banner, zero the "End Run" banner.
  int WriteBanner(int first_run);
  // Opens the log file (under m_cs) unless it is open; false when it cannot be.
  bool OpenFileLocked();

  char m_szModulePath[MAX_PATH];
  char m_szLogDir[MAX_PATH];
  char m_szLogName[MAX_PATH];
  char m_szSwitchName[256];
  CriticalSection m_cs;
  FILE* m_pFile;
  int m_bEnabled;
  int m_bStarted;
  int m_bDebugOut;
};

// The module's only trace log.
extern TraceLog g_TraceLog;

// Registry location of the trace switch, under HKEY_CURRENT_USER.
inline constexpr char kTraceSwitchKey[] = "Software\\Nuvix\\Config\\";

}  // namespace korvat
