// What the module leaves on this machine, read without changing anything:
// registry keys are opened for reading only, files for their attributes, and
// the module itself is never loaded (loading it runs its start-up, which
// creates the trace switch key and writes to the trace log).
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/scoped_handle.h"
#include "resources/module_ids.h"

using korvat::kButtonKey;
inline constexpr char kClassServerKey[] = "CLSID\\" KORVAT_EXEC_CLSID_TEXT "\\InprocServer32";
// KORVATLib 1.0, locale 0x409 as the library declares it, registered for the
// platform of this build.
inline constexpr char kTypeLibKey[] =
#ifdef _WIN64
    "TypeLib\\" KORVAT_LIBRARY_ID_TEXT "\\1.0\\409\\win64";
#else
    "TypeLib\\" KORVAT_LIBRARY_ID_TEXT "\\1.0\\409\\win32";
#endif

// A registry key open for reading (empty when it cannot be), closed at the
// end of the scope.
class ReadKey : public korvat::ScopedRegKey {
 public:
  ReadKey(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) Reset(key);
  }
};

// A value as stored.
struct RegistryValue {
  std::string name;  // empty for the key's default value
  DWORD type = REG_NONE;
  std::string data;

  bool IsText() const { return type == REG_SZ || type == REG_EXPAND_SZ; }
  // The data up to its first zero, as a reader of text sees it.
  std::string Text() const { return data.substr(0, data.find('\0')); }
};

// A key with its values and, the same way, its sub-keys.
struct KeyContents {
  bool present = false;
  std::vector<RegistryValue> values;
  std::vector<std::pair<std::string, KeyContents>> keys;
};

// False when the key or the value does not exist; `name` empty or null reads
// the default value.
bool ReadValue(HKEY root, const std::string& path, const char* name, RegistryValue* value);
KeyContents ReadKeyContents(HKEY root, const std::string& path);
// "REG_DWORD", or "a value of type 11".
std::string TypeName(DWORD type);

// A file, not a folder, exists at `path`.
bool IsFile(const std::string& path);
// Both paths name the same file, however each is spelt.
bool SameFile(const std::string& first, const std::string& second);
// The folder of a path, without the final backslash.
std::string FolderOf(const std::string& path);
// The URL an Internet shortcut file opens; empty when it names none.
std::string ShortcutUrl(const std::string& path);
// The file version of the file's VERSIONINFO ("1.0.0.1"); empty when the file
// or the resource is missing.
std::string FileVersion(const std::string& path);
// The full path of the running korvatctl.exe.
std::string ProgramPath();

// The module names its trace switch and log after its own file name, cut at
// the first ".", and keeps the log beside itself.
struct TraceNames {
  std::string switch_name;  // a value of HKCU\Software\Nuvix\Config
  std::string log;          // the log file's full path
};
TraceNames TraceNamesOf(const std::string& module);
