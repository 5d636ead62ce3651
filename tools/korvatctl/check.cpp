#include "check.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "core/trace_log.h"
#include "installation.h"
#include "json_writer.h"
#include "module_calls.h"
#include "platform/ansi_text.h"
#include "platform/scoped_handle.h"
#include "settings/cookie_file.h"
#include "settings/cookie_import.h"
#include "settings/settings_key.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

// A value of the current user's settings key as the module's readers take it:
// REG_SZ text that fits their buffer of `size` bytes. A missing value is
// simply absent; a value that no reader could take gives a problem.
struct Setting {
  bool present = false;
  std::string text;
  std::string problem;
};

Setting ReadSetting(const char* name, DWORD size) {
  Setting setting;
  RegistryValue value;
  if (!ReadValue(HKEY_CURRENT_USER, kSettingsKey, name, &value)) return setting;
  if (value.type != REG_SZ) {
    setting.problem = std::string(name) + " is " + TypeName(value.type) + ", not REG_SZ";
  } else if (value.Text().size() >= size) {
    setting.problem = std::string(name) + " is longer than the " + std::to_string(size - 1) +
                      " characters the module reads";
  } else {
    setting.present = true;
    setting.text = value.Text();
  }
  return setting;
}

bool IsOneOf(const Setting& setting, std::initializer_list<const char*> texts) {
  for (const char* text : texts) {
    if (setting.present && _stricmp(setting.text.c_str(), text) == 0) return true;
  }
  return false;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Described(const char* name, const Setting& setting) {
  return setting.present ? std::string(name) + " " + Quoted(setting.text)
                         : std::string("no ") + name;
}

// A registered path: REG_SZ, or REG_EXPAND_SZ with its variables expanded.
bool RegisteredPath(HKEY root, const char* key, const std::string& shown, std::string* path,
                    std::string* reason) {
  RegistryValue value;
  if (!ReadValue(root, key, nullptr, &value)) {
    *reason = "not registered: " + shown + " is missing";
  } else if (!value.IsText()) {
    *reason = shown + " is " + TypeName(value.type) + ", not a path";
  } else {
    *path = value.Text();
    char expanded[MAX_PATH * 2] = {};
    const DWORD length = ExpandEnvironmentStringsA(path->c_str(), expanded, sizeof(expanded));
    if (value.type == REG_EXPAND_SZ && length > 0 && length <= sizeof(expanded)) *path = expanded;
    if (!IsFile(*path)) *reason = shown + " names " + *path + ", which does not exist";
  }
  return reason->empty();
}

std::string CheckClass(const std::string& module) {
  std::string path, reason;
  if (!IsFile(module)) return "there is no module at " + module;
  if (RegisteredPath(HKEY_CLASSES_ROOT, kClassServerKey, std::string("HKCR\\") + kClassServerKey,
                     &path, &reason) &&
      !SameFile(path, module)) {
    reason = "HKCR\\" + std::string(kClassServerKey) + " names " + path + ", not " + module;
  }
  return reason;
}

std::string CheckTypeLibrary() {
  std::string path, reason;
  RegisteredPath(HKEY_CLASSES_ROOT, kTypeLibKey, std::string("HKCR\\") + kTypeLibKey, &path,
                 &reason);
  return reason;
}

std::string CheckButton(const Setting& option) {
  if (!option.problem.empty()) return option.problem;
  const std::string shown = std::string("HKCU\\") + kButtonKey;
  const bool wanted = IsOneOf(option, {"ie", "iedesktop"});
  const bool present = ReadKey(HKEY_CURRENT_USER, kButtonKey).Get() != nullptr;
  RegistryValue extension;
  if (wanted && !present) {
    return Described("Option", option) + " asks for the button, but " + shown + " is missing";
  }
  if (!wanted && present) {
    return shown + " is present, but " + Described("Option", option) + " does not ask for it";
  }
  if (present && (!ReadValue(HKEY_CURRENT_USER, kButtonKey, "ClsidExtension", &extension) ||
                  extension.type != REG_SZ ||
                  _stricmp(extension.Text().c_str(), korvat::kKorvatExecClsid) != 0)) {
    return shown + "\\ClsidExtension does not name the class " + korvat::kKorvatExecClsid;
  }
  return "";
}

std::string CheckShortcut(const Setting& option, const std::string& module) {
  if (!option.problem.empty()) return option.problem;
  if (!IsOneOf(option, {"desktop", "iedesktop"})) return "";
  const Setting path = ReadSetting(kShortcutPath, kFlagBufferSize);
  if (!path.problem.empty()) return path.problem;
  if (!path.present || path.text.empty()) {
    return Described("Option", option) + " asks for the shortcut, but SHORTCUT_PATH is not set";
  }
  if (!IsFile(path.text)) return "SHORTCUT_PATH names " + path.text + ", which does not exist";
  // The shell fetches the icon file: only the module's own files belong there.
  char icon[MAX_PATH * 2] = {};
  GetPrivateProfileStringA("InternetShortcut", "IconFile", "", icon, sizeof(icon),
                           path.text.c_str());
  if (icon[0] != '\0' && !SameFile(icon, module) &&
      !SameFile(icon, FolderOf(module) + "\\zrtpres.dll")) {
    return path.text + " takes its icon from " + icon + ", not from the module";
  }
  const Setting page = ReadSetting(kMeetingPage, kPageBufferSize);
  const std::string url = ShortcutUrl(path.text);
  if (!page.present || url != page.text) {
    return path.text + " opens " + Quoted(url) + ", not the MeetingPage" +
           (page.present ? " " + Quoted(page.text) : "");
  }
  return "";
}

std::string CheckCompanions(const std::string& module) {
  // The setup has these register themselves when their switch is on.
  constexpr struct {
    const char* setting;
    const char* file;
  } kCompanions[] = {{kOfficeMenu, "nvxMSAI.dll"}, {kRightClick, "nvxrmenu.dll"}};
  std::string missing;
  for (const auto& companion : kCompanions) {
    const Setting setting = ReadSetting(companion.setting, kFlagBufferSize);
    if (!setting.problem.empty()) return setting.problem;
    if (!IsOneOf(setting, {"true"}) || IsFile(FolderOf(module) + "\\" + companion.file)) continue;
    missing += std::string(missing.empty() ? "" : ", ") + companion.file + " (" +
               companion.setting + " is on)";
  }
  return missing.empty() ? "" : "missing beside the module: " + missing;
}

// The host of the newest unexpired "MeetingPage" cookie, as the setup's
// import takes it; empty when there is none.
std::string CookieHost() {
  char folder[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_COOKIES, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) {
    return "";
  }
  std::string host;
  ULONGLONG newest = 0;
  WIN32_FIND_DATAA entry;
  ScopedFindHandle find(FindFirstFileA((std::string(folder) + "\\*.txt").c_str(), &entry));
  for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.Get(), &entry)) {
    char value[kCookieLineSize], url[kCookieLineSize];
    ULONGLONG created = 0;
    if (ReadCookieFile((std::string(folder) + "\\" + entry.cFileName).c_str(), kMeetingPageCookie,
                       value, url, &created) &&
        created > newest) {
      newest = created;
      host.assign(url, std::strcspn(url, "/"));
    }
  }
  return host;
}

std::string CheckMeetingPage() {
  const Setting page = ReadSetting(kMeetingPage, kPageBufferSize);
  if (!page.problem.empty()) return page.problem;
  if (!page.present) return "MeetingPage is not set";
  if (HasControlBytes(page.text.c_str())) {
    return "MeetingPage " + Quoted(page.text) + " holds a control character";
  }
  for (const char* scheme : {"http://", "https://"}) {
    const size_t length = std::strlen(scheme);
    if (_strnicmp(page.text.c_str(), scheme, length) != 0 || page.text.size() <= length ||
        page.text[length] == '/') {
      continue;
    }
    // The host as a browser reads it: up to the first "/", "\", "?" or "#".
    const std::string host =
        page.text.substr(length, page.text.find_first_of("/\\?#", length) - length);
    const std::string cookie = CookieHost();
    if (host.find('@') != std::string::npos) {
      return "MeetingPage " + Quoted(page.text) + " puts user-info before its host";
    }
    if (!cookie.empty() && _stricmp(host.c_str(), cookie.c_str()) != 0) {
      return "MeetingPage's host " + host + " is not the host of the site's cookie, " + cookie;
    }
    return "";
  }
  return "MeetingPage " + Quoted(page.text) + " is not an http or https address";
}

// Control characters as JSON writes them, so that a reason stays one line.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    char escape[8] = {c, '\0'};
    if (IsControlByte(c)) {
      std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(c));
    }
    line += escape;
  }
  return line;
}

std::string CheckTraceLog(const std::string& module) {
  // The module reads the switch as a number of at most 4 bytes: 1 or 3 is on.
  const TraceNames names = TraceNamesOf(module);
  RegistryValue value;
  DWORD number = 0;
  if (ReadValue(HKEY_CURRENT_USER, kTraceSwitchKey, names.switch_name.c_str(), &value) &&
      value.data.size() <= sizeof(number)) {
    std::memcpy(&number, value.data.data(), value.data.size());
  }
  if (number != 1 && number != 3) return "";
  // The module appends to the log, and creates it when it is missing: the
  // log must open for writing, or its folder for adding a file. Neither open
  // changes anything.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  ScopedHandle log(CreateFileA(names.log.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD error = GetLastError();
  if (!log && error == ERROR_FILE_NOT_FOUND) {
    log.Reset(CreateFileA(FolderOf(names.log).c_str(), FILE_ADD_FILE, share, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    error = GetLastError();
  }
  if (log) return "";
  return "tracing is on (" + names.switch_name + " = " + std::to_string(number) + "), but " +
         names.log + " cannot be written (error " + std::to_string(error) + ")";
}

}  // namespace

std::vector<CheckPoint> CheckInstallation(const std::string& module) {
  const Setting option = ReadSetting(kOption, kFlagBufferSize);
  return {
      {"class", "KorvatExec class", CheckClass(module)},
      {"typelib", "type library", CheckTypeLibrary()},
      {"button", "browser button", CheckButton(option)},
      {"shortcut", "desktop shortcut", CheckShortcut(option, module)},
      {"companions", "companion modules", CheckCompanions(module)},
      {"page", "MeetingPage", CheckMeetingPage()},
      {"trace", "trace log", CheckTraceLog(module)},
  };
}

int RunCheck(const Invocation& invocation) {
  const std::string module = ModulePath(invocation);
  const std::vector<CheckPoint> points = CheckInstallation(module);
  size_t holding = 0;
  for (const CheckPoint& point : points) holding += point.reason.empty() ? 1 : 0;
  const bool whole = holding == points.size();
  if (invocation.json) {
    JsonWriter json;
    json.BeginObject().Key("module").String(module).Key("whole").Bool(whole).Key("points");
    json.BeginObject();
    for (const CheckPoint& point : points) {
      json.Key(point.name).String(point.reason.empty() ? "ok" : point.reason);
    }
    std::printf("%s\n", json.EndObject().EndObject().text().c_str());
  } else {
    std::printf("module: %s\n", module.c_str());
    for (const CheckPoint& point : points) {
      std::printf("%-18s %s\n", (std::string(point.label) + ":").c_str(),
                  point.reason.empty() ? "ok" : OneLine(point.reason).c_str());
    }
    std::printf("check: %s, %u of %u points hold\n", whole ? "whole" : "NOT whole",
                static_cast<unsigned>(holding), static_cast<unsigned>(points.size()));
  }
  return whole ? kExitSuccess : kExitFailed;
}
