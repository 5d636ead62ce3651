#include "registry_print.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/trace_log.h"
#include "module_calls.h"
#include "settings/settings_key.h"

namespace {

constexpr char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{80947ADC-151D-490B-87F1-7C8CE1B46220}";
constexpr char kClassServerKey[] = "CLSID\\{80947ADC-151D-490B-87F1-7C8CE1B46220}\\InprocServer32";
constexpr char kShortcutExtension[] = ".url";

// A registry key open for reading, closed at the end of the scope.
class ReadKey {
 public:
  ReadKey(HKEY root, const std::string& path) {
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &m_hKey) != ERROR_SUCCESS) {
      m_hKey = nullptr;
    }
  }
  ~ReadKey() {
    if (m_hKey != nullptr) RegCloseKey(m_hKey);
  }
  ReadKey(const ReadKey&) = delete;
  ReadKey& operator=(const ReadKey&) = delete;
  HKEY Get() const { return m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::string text(reinterpret_cast<const char*>(data.data()), size);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return "\"" + text + "\"";
  }
  char shown[64];
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD number;
    std::memcpy(&number, data.data(), sizeof(number));
    std::snprintf(shown, sizeof(shown), "0x%08lX (REG_DWORD)", static_cast<unsigned long>(number));
  } else {
    std::snprintf(shown, sizeof(shown), "%lu bytes of type %lu", static_cast<unsigned long>(size),
                  static_cast<unsigned long>(type));
  }
  return shown;
}

// The key's values, then each sub-key the same way.
void PrintKey(HKEY root, const char* root_name, const std::string& path) {
  const std::string shown = std::string(root_name) + "\\" + path;
  ReadKey key(root, path);
  if (key.Get() == nullptr) {
    std::printf("%s: not present\n", shown.c_str());
    return;
  }
  std::printf("%s\n", shown.c_str());
  DWORD sub_keys = 0, longest_sub_key = 0, values = 0, longest_name = 0, longest_data = 0;
  RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &sub_keys, &longest_sub_key, nullptr,
                   &values, &longest_name, &longest_data, nullptr, nullptr);
  std::vector<char> name(longest_name + longest_sub_key + 2);
  std::vector<BYTE> data(longest_data + 1);
  for (DWORD i = 0; i < values; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    if (RegEnumValueA(key.Get(), i, name.data(), &name_size, nullptr, &type, data.data(),
                      &data_size) != ERROR_SUCCESS) {
      continue;
    }
    std::printf("  %s = %s\n", name_size == 0 ? "(default)" : name.data(),
                ValueText(type, data, data_size).c_str());
  }
  for (DWORD i = 0; i < sub_keys; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key.Get(), i, name.data(), &name_size, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      PrintKey(root, root_name, path + "\\" + name.data());
    }
  }
}

void PrintClassServer() {
  // Room for a zero after a value that fills MAX_PATH bytes without one.
  char server[MAX_PATH + 1] = {};
  LONG size = sizeof(server) - 1;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, kClassServerKey, server, &size) == ERROR_SUCCESS) {
    std::printf("KorvatExec class: HKCR\\%s = \"%s\"\n", kClassServerKey, server);
  } else {
    std::printf("KorvatExec class: not registered\n");
  }
}

bool ReadFileText(const std::string& path, std::string* text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  size_t read;
  while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text->append(buffer, read);
  std::fclose(file);
  return true;
}

// Prints the text with each line ending as "\n".
void PrintText(const std::string& text, const char* indent) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t line_end = end > start && text[end - 1] == '\r' ? end - 1 : end;
    std::printf("%s%s\n", indent, text.substr(start, line_end - start).c_str());
    start = end + 1;
  }
}

// The shortcut that the module remembered, and the one of the standard name.
void PrintShortcuts() {
  std::vector<std::string> candidates;
  char remembered[MAX_PATH] = {};
  ReadKey settings(HKEY_CURRENT_USER, kSettingsKey);
  DWORD size = sizeof(remembered) - 1;
  if (settings.Get() != nullptr &&
      RegQueryValueExA(settings.Get(), kShortcutPath, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(remembered), &size) == ERROR_SUCCESS &&
      remembered[0] != '\0') {
    candidates.push_back(remembered);
  }
  char desktop[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop) ==
      S_OK) {
    std::string standard = std::string(desktop) + "\\" + kStandardShortcutText + kShortcutExtension;
    if (candidates.empty() || lstrcmpiA(candidates[0].c_str(), standard.c_str()) != 0) {
      candidates.push_back(standard);
    }
  }
  bool found = false;
  for (const std::string& path : candidates) {
    std::string text;
    if (!ReadFileText(path, &text)) continue;
    std::printf("desktop shortcut: %s\n", path.c_str());
    PrintText(text, "  ");
    found = true;
  }
  if (!found) std::printf("desktop shortcut: none\n");
}

}  // namespace

int RunShow(const Invocation&) {
  PrintKey(HKEY_CURRENT_USER, "HKCU", kSettingsKey);
  PrintKey(HKEY_LOCAL_MACHINE, "HKLM", kSettingsKey);
  PrintKey(HKEY_CURRENT_USER, "HKCU", kButtonKey);
  PrintClassServer();
  PrintShortcuts();
  return kExitSuccess;
}

int RunTrace(const Invocation& invocation) {
  // The module names its switch and its log after its own file name, cut at
  // the first ".", and keeps the log beside itself.
  const std::string module = ModulePath(invocation);
  const size_t slash = module.find_last_of('\\');
  const std::string folder = slash == std::string::npos ? "." : module.substr(0, slash);
  std::string base = slash == std::string::npos ? module : module.substr(slash + 1);
  base = base.substr(0, base.find('.'));
  const std::string switch_name = "TRACE_ENABLE_" + base;
  const std::string log = folder + "\\" + base + ".log";
  const std::string shown_switch = std::string("HKCU\\") + kTraceSwitchKey + switch_name;
  const std::string& action = invocation.args[0];

  if (action == "show") {
    std::string text;
    if (!ReadFileText(log, &text)) {
      std::fprintf(stderr, "korvatctl: trace show: no log at %s\n", log.c_str());
      return kExitFailed;
    }
    std::printf("trace log %s:\n", log.c_str());
    PrintText(text, "");
    return kExitSuccess;
  }

  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kTraceSwitchKey, 0, nullptr, 0,
                                KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    if (action == "on") {
      const DWORD on = 1;
      status = RegSetValueExA(key, switch_name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&on), sizeof(on));
    } else {
      status = RegDeleteValueA(key, switch_name.c_str());
      if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "korvatctl: trace %s: cannot change %s (error %ld)\n", action.c_str(),
                 shown_switch.c_str(), status);
    return kExitFailed;
  }
  if (action == "on") {
    std::printf("trace on: %s = 1, log %s\n", shown_switch.c_str(), log.c_str());
  } else {
    std::printf("trace off: %s deleted\n", shown_switch.c_str());
  }
  return kExitSuccess;
}
