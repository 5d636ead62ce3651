// Helpers for the test programs under Wine: folders of built files, the
// registry, files, child processes and trace logs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "platform/scoped_handle.h"

// The tests use the module's names as its own code does.
using namespace korvat;

namespace korvat_test {

// A file beside the running test program, where the build puts Korvat.dll,
// zrtpres.dll and the test doubles.
std::string BinFile(const std::string& name);

// A fresh folder under the temporary folder, deleted with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  // Copies a built file into the folder, under `as` if given.
  void CopyFromBin(const std::string& name, const std::string& as = "") const;

 private:
  std::string path_;
};

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// The file's lines, without their LF or CR LF ends (a missing file gives none).
std::vector<std::string> ReadLines(const std::string& path);
void DeleteTree(const std::string& path);

// The settings key as callers know it; DeleteSettingsKeys removes it from both hives.
inline constexpr char kSettings[] = "Software\\Nuvix\\TapvoMeeting";
void DeleteSettingsKeys();
void DeleteKeyTree(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
void SetDwordValue(HKEY root, const std::string& path, const std::string& name, DWORD value);
void SetStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& value);
// The value's type and bytes as stored; false when missing.
bool ReadRawValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
                  std::string* bytes);
// A REG_SZ value without its terminating zero; "<missing>" when absent.
std::string ReadStringValue(HKEY root, const std::string& path, const std::string& name);
std::vector<std::string> SubKeyNames(HKEY root, const std::string& path);
// The tree below `path`, sorted: "Key\\Sub" and "Key\\Sub|Name=REG_SZ:text".
std::vector<std::string> DumpTree(HKEY root, const std::string& path);

// The trace switch for a module file name such as "Korvat", while it lives.
class ScopedTraceSwitch {
 public:
  ScopedTraceSwitch(const std::string& module_name, DWORD value);
  ~ScopedTraceSwitch();

 private:
  std::string name_;
};

// A key the user may read but not write, as the machine hive's are without
// administrator rights (a sub-key keeps Wine from deleting it anyway); removed
// by the destructor.
class ScopedReadOnlyKey {
 public:
  ScopedReadOnlyKey(HKEY root, const std::string& path);
  ~ScopedReadOnlyKey();
  ScopedReadOnlyKey(const ScopedReadOnlyKey&) = delete;
  ScopedReadOnlyKey& operator=(const ScopedReadOnlyKey&) = delete;
  bool active() const { return active_; }

 private:
  HKEY root_;
  std::string path_;
  bool active_ = false;
};

// Runs a program and waits for it: its exit code (-1: not started), and with
// `output` what it writes.
int RunProcess(const std::string& command_line, std::string* output = nullptr,
               DWORD timeout_ms = 60000);
// Runs a program under this process as its debugger, handing each debug
// string, and "load: <path>" for each library it loads, to `on_event`, which
// ends the program there by answering true: its exit code, or -1.
int RunUnderDebugger(const std::string& command_line,
                     const std::function<bool(const std::string&)>& on_event);

// One record of a browser cookie file (nine lines).
std::string CookieRecord(const std::string& name, const std::string& value, const std::string& host,
                         ULONGLONG created, ULONGLONG expires = 0x7FFFFFFF00000000ull);
// The desktop shortcut under its standard name.
std::string StandardShortcut();
// The current user's cookies folder, created when missing.
std::string CookiesFolder();

// The messages of a trace log's lines from line `from` on, without banners.
std::vector<std::string> TraceMessages(const std::string& log, size_t from = 0);

// The trace log of a program that links the module's code, to "<name>.log"
// beside it; TakeMessages gives those written since the last look.
class TraceCapture {
 public:
  explicit TraceCapture(const std::string& name);
  std::vector<std::string> TakeMessages();

 private:
  std::string path_;
  size_t seen_ = 0;
};

// The module state pointed at a loaded copy of Korvat.dll in a temporary
// folder, as if the linked code ran inside it.
class ModuleCopy {
 public:
  ModuleCopy();
  ~ModuleCopy();
  bool loaded() const { return static_cast<bool>(module_); }
  HMODULE module() const { return module_.Get(); }
  const TempFolder& folder() const { return folder_; }

 private:
  TempFolder folder_;
  ScopedLibrary module_;
};

}  // namespace korvat_test
