#include "registry_print.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/trace_log.h"
#include "installation.h"
#include "json_writer.h"
#include "module_calls.h"
#include "platform/scoped_handle.h"
#include "settings/settings_key.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

constexpr char kShortcutExtension[] = ".url";

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

// Everything show reports, read once and then printed as text or as JSON.
struct Installation {
  struct File {
    const char* name;
    std::string path;
    std::string version;  // empty: no file, or no VERSIONINFO
  };
  // A path that a class registration keeps under HKEY_CLASSES_ROOT.
  struct Registered {
    const char* label;  // as the text names it
    const char* name;   // the member of the JSON object
    const char* key;
    bool present;
    RegistryValue value;
  };
  struct Shortcut {
    std::string path;
    std::string text;
  };
  std::vector<File> files;
  KeyContents user_settings;
  KeyContents machine_settings;
  KeyContents button;
  std::vector<Registered> registered;
  std::vector<Shortcut> shortcuts;
};

// The shortcut that the module remembered, and the one of the standard name.
std::vector<Installation::Shortcut> ReadShortcuts() {
  std::vector<std::string> candidates;
  RegistryValue remembered;
  if (ReadValue(HKEY_CURRENT_USER, kSettingsKey, kShortcutPath, &remembered) &&
      !remembered.Text().empty()) {
    candidates.push_back(remembered.Text());
  }
  char desktop[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop) ==
      S_OK) {
    std::string standard = std::string(desktop) + "\\" + kStandardShortcutText + kShortcutExtension;
    if (candidates.empty() || lstrcmpiA(candidates[0].c_str(), standard.c_str()) != 0) {
      candidates.push_back(standard);
    }
  }
  std::vector<Installation::Shortcut> shortcuts;
  for (const std::string& path : candidates) {
    std::string text;
    if (ReadFileText(path, &text)) shortcuts.push_back({path, text});
  }
  return shortcuts;
}

Installation ReadInstallation(const std::string& module) {
  Installation installation;
  installation.files = {{"Korvat.dll", module, ""},
                        {"zrtpres.dll", FolderOf(module) + "\\zrtpres.dll", ""},
                        {"korvatctl.exe", ProgramPath(), ""}};
  for (auto& file : installation.files) file.version = FileVersion(file.path);
  installation.user_settings = ReadKeyContents(HKEY_CURRENT_USER, kSettingsKey);
  installation.machine_settings = ReadKeyContents(HKEY_LOCAL_MACHINE, kSettingsKey);
  installation.button = ReadKeyContents(HKEY_CURRENT_USER, kButtonKey);
  installation.registered = {{"KorvatExec class", "class", kClassServerKey, false, {}},
                             {"type library", "typelib", kTypeLibKey, false, {}}};
  for (auto& path : installation.registered) {
    path.present = ReadValue(HKEY_CLASSES_ROOT, path.key, nullptr, &path.value);
  }
  installation.shortcuts = ReadShortcuts();
  return installation;
}

std::string ValueText(const RegistryValue& value) {
  if (value.IsText()) return "\"" + value.Text() + "\"";
  char shown[64];
  if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
    DWORD number;
    std::memcpy(&number, value.data.data(), sizeof(number));
    std::snprintf(shown, sizeof(shown), "0x%08lX (REG_DWORD)", static_cast<unsigned long>(number));
  } else {
    std::snprintf(shown, sizeof(shown), "%lu bytes of type %lu",
                  static_cast<unsigned long>(value.data.size()),
                  static_cast<unsigned long>(value.type));
  }
  return shown;
}

// The key's values, then each sub-key the same way.
void PrintKey(const std::string& shown, const KeyContents& key) {
  if (!key.present) {
    std::printf("%s: not present\n", shown.c_str());
    return;
  }
  std::printf("%s\n", shown.c_str());
  for (const RegistryValue& value : key.values) {
    std::printf("  %s = %s\n", value.name.empty() ? "(default)" : value.name.c_str(),
                ValueText(value).c_str());
  }
  for (const auto& sub_key : key.keys) PrintKey(shown + "\\" + sub_key.first, sub_key.second);
}

void PrintText(const Installation& installation) {
  for (const auto& file : installation.files) {
    const std::string state = !file.version.empty() ? "version " + file.version
                              : IsFile(file.path)   ? "no version resource"
                                                    : "not present";
    std::printf("%s: %s, %s\n", file.name, file.path.c_str(), state.c_str());
  }
  PrintKey(std::string("HKCU\\") + kSettingsKey, installation.user_settings);
  PrintKey(std::string("HKLM\\") + kSettingsKey, installation.machine_settings);
  PrintKey(std::string("HKCU\\") + kButtonKey, installation.button);
  for (const auto& path : installation.registered) {
    if (path.present) {
      std::printf("%s: HKCR\\%s = %s\n", path.label, path.key, ValueText(path.value).c_str());
    } else {
      std::printf("%s: not registered\n", path.label);
    }
  }
  for (const auto& shortcut : installation.shortcuts) {
    std::printf("desktop shortcut: %s\n", shortcut.path.c_str());
    PrintText(shortcut.text, "  ");
  }
  if (installation.shortcuts.empty()) std::printf("desktop shortcut: none\n");
}

// A registry value in JSON: text as a string, a REG_DWORD as a number, any
// other type as {"type": N, "size": BYTES}.
void WriteValue(JsonWriter& json, const RegistryValue& value) {
  if (value.IsText()) {
    json.String(value.Text());
  } else if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
    DWORD number;
    std::memcpy(&number, value.data.data(), sizeof(number));
    json.Number(number);
  } else {
    json.BeginObject().Key("type").Number(value.type).Key("size").Number(value.data.size());
    json.EndObject();
  }
}

// A key in JSON: null when absent, else {"values": {...}, "keys": {...}}.
void WriteKey(JsonWriter& json, const KeyContents& key) {
  if (!key.present) {
    json.Null();
    return;
  }
  json.BeginObject().Key("values").BeginObject();
  for (const RegistryValue& value : key.values) WriteValue(json.Key(value.name), value);
  json.EndObject().Key("keys").BeginObject();
  for (const auto& sub_key : key.keys) WriteKey(json.Key(sub_key.first), sub_key.second);
  json.EndObject().EndObject();
}

void PrintJson(const Installation& installation) {
  JsonWriter json;
  json.BeginObject().Key("files").BeginObject();
  for (const auto& file : installation.files) {
    json.Key(file.name).BeginObject().Key("path").String(file.path).Key("version");
    if (file.version.empty()) {
      json.Null();
    } else {
      json.String(file.version);
    }
    json.EndObject();
  }
  json.EndObject().Key("settings").BeginObject();
  WriteKey(json.Key("HKCU"), installation.user_settings);
  WriteKey(json.Key("HKLM"), installation.machine_settings);
  WriteKey(json.EndObject().Key("button"), installation.button);
  for (const auto& path : installation.registered) {
    if (path.present) {
      WriteValue(json.Key(path.name), path.value);
    } else {
      json.Key(path.name).Null();
    }
  }
  json.Key("shortcuts").BeginArray();
  for (const auto& shortcut : installation.shortcuts) {
    json.BeginObject().Key("path").String(shortcut.path);
    json.Key("url").String(ShortcutUrl(shortcut.path)).EndObject();
  }
  std::printf("%s\n", json.EndArray().EndObject().text().c_str());
}

}  // namespace

int RunShow(const Invocation& invocation) {
  const Installation installation = ReadInstallation(ModulePath(invocation));
  if (invocation.json) {
    PrintJson(installation);
  } else {
    PrintText(installation);
  }
  return kExitSuccess;
}

int RunTrace(const Invocation& invocation) {
  const TraceNames names = TraceNamesOf(ModulePath(invocation));
  const std::string& switch_name = names.switch_name;
  const std::string& log = names.log;
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

  ScopedRegKey key;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kTraceSwitchKey, 0, nullptr, 0,
                                KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
  if (status == ERROR_SUCCESS) {
    if (action == "on") {
      const DWORD on = 1;
      status = RegSetValueExA(key.Get(), switch_name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&on), sizeof(on));
    } else {
      status = RegDeleteValueA(key.Get(), switch_name.c_str());
      if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
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
