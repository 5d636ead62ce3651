#include "harness/test_support.h"

#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace korvat_test {

std::string BinFile(const std::string& name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, std::strrchr(path, '\\') + 1) + name;
}

TempFolder::TempFolder() {
  char temp[MAX_PATH] = {}, name[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  GetTempFileNameA(temp, "kvt", 0, name);  // a unique name, held by an empty file
  DeleteFileA(name);
  CreateDirectoryA(name, nullptr);
  path_ = name;
}

TempFolder::~TempFolder() { DeleteTree(path_); }

void TempFolder::CopyFromBin(const std::string& name, const std::string& as) const {
  std::string target = File(as.empty() ? name : as);
  CopyFileA(BinFile(name).c_str(), target.c_str(), FALSE);
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
    bytes.append(chunk, read);
  }
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFileBytes(path));
  for (std::string line; std::getline(in, line); lines.push_back(line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

void DeleteTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  ScopedFindHandle find(FindFirstFileA((path + "\\*").c_str(), &data));
  if (find) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find.Get(), &data));
    find.Reset();
  }
  RemoveDirectoryA(path.c_str());
}

void DeleteKeyTree(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

void DeleteSettingsKeys() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) DeleteKeyTree(root, kSettings);
}

bool KeyExists(HKEY root, const std::string& path) {
  ScopedRegKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::string& path, const std::string& name) {
  return RegGetValueA(root, path.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_ANY,
                      nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

namespace {

const char* TypeName(DWORD type) {
  static const char* const kNames[] = {"REG_NONE",  "REG_SZ",    "REG_EXPAND_SZ", "REG_BINARY",
                                       "REG_DWORD", "REG_OTHER", "REG_OTHER",     "REG_MULTI_SZ"};
  return type < 8 ? kNames[type] : "REG_OTHER";
}

std::string FormatValue(DWORD type, std::string bytes) {
  if (type == REG_DWORD && bytes.size() == 4) {
    DWORD number = 0;
    std::memcpy(&number, bytes.data(), 4);
    return std::to_string(number);
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
  }
  std::string hex;
  for (unsigned char c : bytes) hex += {"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
  return hex;
}

void DumpInto(HKEY key, const std::string& prefix, std::vector<std::string>* out) {
  out->push_back(prefix);
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD name_size = sizeof(name);
    BYTE data[8192];
    DWORD data_size = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string shown_name = name_size == 0 ? "(default)" : std::string(name, name_size);
    out->push_back(prefix + "|" + shown_name + "=" + TypeName(type) + ":" +
                   FormatValue(type, std::string(reinterpret_cast<char*>(data), data_size)));
  }
  for (const std::string& name : SubKeyNames(key, "")) {
    ScopedRegKey child;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, child.Put()) == ERROR_SUCCESS) {
      DumpInto(child.Get(), prefix + "\\" + name, out);
    }
  }
}

}  // namespace

// RegSetKeyValue creates the key when it is missing.
void SetDwordValue(HKEY root, const std::string& path, const std::string& name, DWORD value) {
  RegSetKeyValueA(root, path.c_str(), name.empty() ? nullptr : name.c_str(), REG_DWORD, &value,
                  sizeof(value));
}

void SetStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& value) {
  RegSetKeyValueA(root, path.c_str(), name.empty() ? nullptr : name.c_str(), REG_SZ, value.c_str(),
                  static_cast<DWORD>(value.size() + 1));
}

bool ReadRawValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
                  std::string* bytes) {
  ScopedRegKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  const char* value_name = name.empty() ? nullptr : name.c_str();
  LONG status = RegQueryValueExA(key.Get(), value_name, nullptr, type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    bytes->assign(size, '\0');
    status = RegQueryValueExA(key.Get(), value_name, nullptr, type,
                              reinterpret_cast<BYTE*>(&(*bytes)[0]), &size);
    bytes->resize(size);
  }
  return status == ERROR_SUCCESS;
}

std::string ReadStringValue(HKEY root, const std::string& path, const std::string& name) {
  DWORD type = 0;
  std::string bytes;
  if (!ReadRawValue(root, path, name, &type, &bytes)) return "<missing>";
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

std::vector<std::string> SubKeyNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  ScopedRegKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD name_size = sizeof(name);
    if (RegEnumKeyExA(key.Get(), index, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, name_size);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> DumpTree(HKEY root, const std::string& path) {
  std::vector<std::string> out;
  ScopedRegKey key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return out;
  DumpInto(key.Get(), path, &out);
  std::sort(out.begin(), out.end());
  return out;
}

ScopedTraceSwitch::ScopedTraceSwitch(const std::string& module_name, DWORD value)
    : name_("TRACE_ENABLE_" + module_name) {
  SetDwordValue(HKEY_CURRENT_USER, "Software\\Nuvix\\Config", name_, value);
}

ScopedTraceSwitch::~ScopedTraceSwitch() {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Nuvix\\Config", name_.c_str());
}

namespace {

// Everyone gets the access that the descriptor text names.
bool SetKeyDacl(HKEY key, const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return false;
  }
  const bool set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return set;
}

}  // namespace

ScopedReadOnlyKey::ScopedReadOnlyKey(HKEY root, const std::string& path)
    : root_(root), path_(path) {
  SetStringValue(root_, path_ + "\\ReadOnlyKeep", "", "");
  ScopedRegKey key;
  if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS) return;
  active_ = SetKeyDacl(key.Get(), "D:(A;;KRWD;;;WD)");  // read, and give access back
}

ScopedReadOnlyKey::~ScopedReadOnlyKey() {
  ScopedRegKey key;
  if (RegOpenKeyExA(root_, path_.c_str(), 0, WRITE_DAC, key.Put()) == ERROR_SUCCESS) {
    SetKeyDacl(key.Get(), "D:(A;;KA;;;WD)");
    key.Reset();
  }
  DeleteKeyTree(root_, path_);
}

int RunProcess(const std::string& command_line, std::string* output, DWORD timeout_ms) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  ScopedHandle read_end, write_end;
  if (output != nullptr) {
    output->clear();
    // Wine starts its desktop process from the first process that makes a
    // window; started from the child, it would keep the pipe open for good.
    GetDesktopWindow();
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(read_end.Put(), write_end.Put(), &inherit, 0)) return -1;
    SetHandleInformation(read_end.Get(), HANDLE_FLAG_INHERIT, 0);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write_end.Get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION process = {};
  std::string mutable_line = command_line;
  BOOL started = CreateProcessA(nullptr, &mutable_line[0], nullptr, nullptr, output != nullptr, 0,
                                nullptr, nullptr, &startup, &process);
  write_end.Reset();
  if (!started) return -1;
  ScopedHandle child(process.hProcess), thread(process.hThread);
  char chunk[4096];
  DWORD read = 0;
  while (output != nullptr && ReadFile(read_end.Get(), chunk, sizeof(chunk), &read, nullptr) &&
         read > 0) {
    output->append(chunk, read);
  }
  read_end.Reset();
  DWORD exit_code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(child.Get(), timeout_ms) == WAIT_OBJECT_0) {
    GetExitCodeProcess(child.Get(), &exit_code);
  } else {
    TerminateProcess(child.Get(), 1);
  }
  return static_cast<int>(exit_code);
}

int RunUnderDebugger(const std::string& command_line,
                     const std::function<bool(const std::string&)>& on_event) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  ScopedHandle child(process.hProcess), thread(process.hThread);
  DWORD exit_code = static_cast<DWORD>(-1);
  for (bool running = true; running;) {
    DEBUG_EVENT event;
    if (!WaitForDebugEvent(&event, 60000)) {
      TerminateProcess(process.hProcess, 1);
      break;
    }
    DWORD status = DBG_CONTINUE;
    const DWORD code = event.dwDebugEventCode;
    std::string text;
    if (code == OUTPUT_DEBUG_STRING_EVENT) {
      const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
      text.assign(info.nDebugStringLength, '\0');
      ReadProcessMemory(process.hProcess, info.lpDebugStringData, &text[0], text.size(), nullptr);
      text = text.c_str();
    } else if (code == LOAD_DLL_DEBUG_EVENT) {
      char path[MAX_PATH] = {};
      GetFinalPathNameByHandleA(event.u.LoadDll.hFile, path, MAX_PATH, 0);
      text = std::string("load: ") + path;
    }
    if (!text.empty() && on_event(text)) TerminateProcess(process.hProcess, 1);
    if (code == EXCEPTION_DEBUG_EVENT) {
      const bool breakpoint =
          event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT;
      status = breakpoint ? DBG_CONTINUE : DBG_EXCEPTION_NOT_HANDLED;
    } else if (code == CREATE_PROCESS_DEBUG_EVENT || code == LOAD_DLL_DEBUG_EVENT) {
      // The file handles are ours to close.
      ScopedHandle{code == LOAD_DLL_DEBUG_EVENT ? event.u.LoadDll.hFile
                                                : event.u.CreateProcessInfo.hFile};
    } else if (code == EXIT_PROCESS_DEBUG_EVENT) {
      exit_code = event.u.ExitProcess.dwExitCode;
      running = false;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  return static_cast<int>(exit_code);
}

std::string CookieRecord(const std::string& name, const std::string& value, const std::string& host,
                         ULONGLONG created, ULONGLONG expires) {
  auto half = [](ULONGLONG t, int shift) { return std::to_string(DWORD(t >> shift)) + "\n"; };
  return name + "\n" + value + "\n" + host + "\n1536\n" + half(expires, 0) + half(expires, 32) +
         half(created, 0) + half(created, 32) + "*\n";
}

std::string StandardShortcut() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::string(folder) + "\\Start Nuvix Tapvo Meeting.url";
}

std::string CookiesFolder() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_COOKIES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
  return folder;
}

std::vector<std::string> TraceMessages(const std::string& log, size_t from) {
  std::vector<std::string> messages;
  const std::vector<std::string> lines = ReadLines(log);
  for (size_t i = from; i < lines.size(); ++i) {
    // Lines are "HH:MM:SS", six spaces and the message.
    if (lines[i].size() >= 14 && lines[i][2] == ':' && lines[i][5] == ':' &&
        lines[i].compare(8, 6, "      ") == 0) {
      messages.push_back(lines[i].substr(14));
    }
  }
  return messages;
}

}  // namespace korvat_test
