// DllRegisterServer and DllUnregisterServer, 200 pairs a round, against the
// same registry calls made directly by the benchmark.
//
// The floor: every registry call that the module makes itself during a pair,
// recorded once through its import table and replayed with the same keys,
// names, access, value types and bytes (each replayed call must give the
// status the module's call got), plus the two things that any registration
// with this result has to do besides: read the cookie file that the user's
// choices come from, and register the type library through the system
// (LoadTypeLib and RegisterTypeLib; their registry writes are not the
// module's to make). What the module does beyond that (loading its resource
// library, finding the shell folders, loading its registry scripts from its
// resources and interpreting them) is what the ratio shows.
//
// The install cookie asks for no integration (Option "FALSE", no office or
// right-click menu), so a pair writes the settings, the class and the type
// library and removes the class again. The removal waits 300 ms for browser
// windows it reopens, whether there were any or not: that pause is skipped,
// through the module's import of Sleep, and printed beside the ratio.
//
// The module and its resource library are copies in a temporary folder. The
// benchmark writes the settings and the class registration, so it refuses to
// run where either exists; it removes what it wrote when it ends.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "dialog_watch.h"
#include "harness/test_support.h"
#include "platform/ansi_text.h"
#include "platform/com_ptr.h"
#include "platform/proc_address.h"
#include "platform/scoped_handle.h"
#include "resources/module_ids.h"

// The benchmarks use the module's names as its own code does.
using namespace korvat;

using namespace korvat_bench;
using namespace korvat_test;

namespace {

constexpr Plan kPlan = {5, 200, "pairs"};
const char kClassKey[] = "CLSID\\" KORVAT_EXEC_CLSID_TEXT;

// One registry call of the module, as it made it.
struct RegCall {
  enum Kind {
    kOpen,
    kOpenEx,
    kCreate,
    kClose,
    kDeleteKey,
    kDeleteValue,
    kSetValue,
    kQueryValue,
    kEnumKey,
    kQueryInfo,
    kFlush
  } kind;
  int key;  // the call that opened the key, or -1: `root` itself
  HKEY root;
  bool named;  // the sub-key or value name was given
  std::string name;
  DWORD number;  // access, value type, index, or whether data was asked for
  DWORD size;    // room offered for what is read
  std::string data;
  LONG status;
};

std::vector<RegCall> g_calls;
std::map<HKEY, int> g_opened;  // handle -> the call that opened it, while recording
DWORD g_pausedMs = 0;

RegCall& Note(RegCall::Kind kind, HKEY key, const char* name) {
  auto found = g_opened.find(key);
  g_calls.push_back({kind,
                     found == g_opened.end() ? -1 : found->second,
                     key,
                     name != nullptr,
                     name != nullptr ? name : "",
                     0,
                     0,
                     {},
                     0});
  return g_calls.back();
}
LONG Done(LONG status, const PHKEY opened = nullptr) {
  g_calls.back().status = status;
  if (opened != nullptr && status == ERROR_SUCCESS) g_opened[*opened] = int(g_calls.size()) - 1;
  return status;
}

LONG WINAPI OpenKey(HKEY key, LPCSTR sub, PHKEY out) {
  Note(RegCall::kOpen, key, sub);
  return Done(RegOpenKeyA(key, sub, out), out);
}
LONG WINAPI OpenKeyEx(HKEY key, LPCSTR sub, DWORD options, REGSAM access, PHKEY out) {
  Note(RegCall::kOpenEx, key, sub).number = access;
  return Done(RegOpenKeyExA(key, sub, options, access, out), out);
}
LONG WINAPI CreateKeyEx(HKEY key, LPCSTR sub, DWORD reserved, LPSTR key_class, DWORD options,
                        REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY out,
                        LPDWORD disposition) {
  Note(RegCall::kCreate, key, sub).number = access;
  return Done(
      RegCreateKeyExA(key, sub, reserved, key_class, options, access, security, out, disposition),
      out);
}
LONG WINAPI CloseKey(HKEY key) {
  Note(RegCall::kClose, key, nullptr);
  g_opened.erase(key);
  return Done(RegCloseKey(key));
}
LONG WINAPI DeleteKey(HKEY key, LPCSTR sub) {
  Note(RegCall::kDeleteKey, key, sub);
  return Done(RegDeleteKeyA(key, sub));
}
LONG WINAPI DeleteValue(HKEY key, LPCSTR name) {
  Note(RegCall::kDeleteValue, key, name);
  return Done(RegDeleteValueA(key, name));
}
LONG WINAPI SetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size) {
  RegCall& call = Note(RegCall::kSetValue, key, name);
  call.number = type;
  if (data != nullptr) call.data.assign(reinterpret_cast<const char*>(data), size);
  return Done(RegSetValueExA(key, name, reserved, type, data, size));
}
LONG WINAPI QueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size) {
  RegCall& call = Note(RegCall::kQueryValue, key, name);
  call.number = data != nullptr;
  call.size = size != nullptr ? *size : 0;
  return Done(RegQueryValueExA(key, name, reserved, type, data, size));
}
LONG WINAPI EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved,
                      LPSTR key_class, LPDWORD class_length, PFILETIME time) {
  RegCall& call = Note(RegCall::kEnumKey, key, nullptr);
  call.number = index;
  call.size = *length;
  return Done(RegEnumKeyExA(key, index, name, length, reserved, key_class, class_length, time));
}
LONG WINAPI QueryInfoKey(HKEY key, LPSTR key_class, LPDWORD class_length, LPDWORD reserved,
                         LPDWORD sub_keys, LPDWORD max_sub_key, LPDWORD max_class, LPDWORD values,
                         LPDWORD max_value_name, LPDWORD max_value, LPDWORD security,
                         PFILETIME time) {
  Note(RegCall::kQueryInfo, key, nullptr);
  return Done(RegQueryInfoKeyA(key, key_class, class_length, reserved, sub_keys, max_sub_key,
                               max_class, values, max_value_name, max_value, security, time));
}
LONG WINAPI FlushKey(HKEY key) {
  Note(RegCall::kFlush, key, nullptr);
  return Done(RegFlushKey(key));
}
void WINAPI SkipPause(DWORD milliseconds) { g_pausedMs += milliseconds; }

struct Hook {
  const char* name;
  void* to;
  void** slot = nullptr;
  void* was = nullptr;
};
Hook g_hooks[] = {
    {"RegOpenKeyA", reinterpret_cast<void*>(OpenKey)},
    {"RegOpenKeyExA", reinterpret_cast<void*>(OpenKeyEx)},
    {"RegCreateKeyExA", reinterpret_cast<void*>(CreateKeyEx)},
    {"RegCloseKey", reinterpret_cast<void*>(CloseKey)},
    {"RegDeleteKeyA", reinterpret_cast<void*>(DeleteKey)},
    {"RegDeleteValueA", reinterpret_cast<void*>(DeleteValue)},
    {"RegSetValueExA", reinterpret_cast<void*>(SetValueEx)},
    {"RegQueryValueExA", reinterpret_cast<void*>(QueryValueEx)},
    {"RegEnumKeyExA", reinterpret_cast<void*>(EnumKeyEx)},
    {"RegQueryInfoKeyA", reinterpret_cast<void*>(QueryInfoKey)},
    {"RegFlushKey", reinterpret_cast<void*>(FlushKey)},
};

// Finds the module's registry imports, and sends its pauses to SkipPause
// for good. A registry function that is not recorded would be missing from
// the floor: that stops the benchmark.
bool FindHooks(HMODULE module) {
  bool complete = true;
  VisitImports(module, [&](const char* dll, const char* function, void** slot) {
    if (function == nullptr) return;
    if (_stricmp(dll, "kernel32.dll") == 0 && std::strcmp(function, "Sleep") == 0) {
      Redirect(slot, reinterpret_cast<void*>(SkipPause));
    }
    if (_stricmp(dll, "advapi32.dll") != 0 || std::strncmp(function, "Reg", 3) != 0) return;
    for (Hook& hook : g_hooks) {
      if (std::strcmp(hook.name, function) == 0) {
        hook.slot = slot;
        return;
      }
    }
    std::fprintf(stderr, "registration_bench: the module calls %s, which is not recorded\n",
                 function);
    complete = false;
  });
  return complete;
}

void Record(bool on) {
  for (Hook& hook : g_hooks) {
    if (hook.slot == nullptr) continue;
    if (on) {
      hook.was = Redirect(hook.slot, hook.to);
    } else {
      Redirect(hook.slot, hook.was);
    }
  }
}

// Makes the recorded calls again; the number whose status differs from the
// module's.
int Replay(std::vector<HKEY>& opened, std::vector<BYTE>& buffer) {
  int differ = 0;
  for (size_t i = 0; i < g_calls.size(); ++i) {
    const RegCall& call = g_calls[i];
    const HKEY key = call.key < 0 ? call.root : opened[call.key];
    const char* name = call.named ? call.name.c_str() : nullptr;
    DWORD size = call.size;
    LONG status = ERROR_SUCCESS;
    opened[i] = nullptr;
    switch (call.kind) {
      case RegCall::kOpen:
        status = RegOpenKeyA(key, name, &opened[i]);
        break;
      case RegCall::kOpenEx:
        status = RegOpenKeyExA(key, name, 0, call.number, &opened[i]);
        break;
      case RegCall::kCreate:
        status =
            RegCreateKeyExA(key, name, 0, nullptr, 0, call.number, nullptr, &opened[i], nullptr);
        break;
      case RegCall::kClose:
        status = RegCloseKey(key);
        break;
      case RegCall::kDeleteKey:
        status = RegDeleteKeyA(key, name);
        break;
      case RegCall::kDeleteValue:
        status = RegDeleteValueA(key, name);
        break;
      case RegCall::kSetValue:
        status = RegSetValueExA(key, name, 0, call.number,
                                reinterpret_cast<const BYTE*>(call.data.data()),
                                static_cast<DWORD>(call.data.size()));
        break;
      case RegCall::kQueryValue:
        status = RegQueryValueExA(key, name, nullptr, nullptr,
                                  call.number ? buffer.data() : nullptr, &size);
        break;
      case RegCall::kEnumKey:
        status = RegEnumKeyExA(key, call.number, reinterpret_cast<char*>(buffer.data()), &size,
                               nullptr, nullptr, nullptr, nullptr);
        break;
      case RegCall::kQueryInfo: {
        DWORD sub_keys = 0, values = 0;
        status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr,
                                  &values, nullptr, nullptr, nullptr, nullptr);
        break;
      }
      case RegCall::kFlush:
        status = RegFlushKey(key);
        break;
    }
    differ += status != call.status;
  }
  return differ;
}

// The conferencing site's cookies, asking for no integration.
std::string WriteCookies() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG created = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const std::string path = CookiesFolder() + "\\korvat-registration-bench.txt";
  WriteFileBytes(
      path,
      CookieRecord("MeetingPage", "/acme/start/ann", "meet.example.com/", created) +
          CookieRecord("CK_TP_tapvomtginstall", "FALSE@false@false@https://meet.example.com@false@",
                       "meet.example.com/", created));
  return path;
}

std::wstring Wide(const std::string& text) { return korvat::WidenAnsi(text.c_str()).data(); }

}  // namespace

int main() {
  if (KeyExists(HKEY_CURRENT_USER, kSettings) || KeyExists(HKEY_CLASSES_ROOT, kClassKey)) {
    std::fprintf(stderr,
                 "registration_bench: the settings or the class registration exist; "
                 "not overwriting them\n");
    return 2;
  }
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  folder.CopyFromBin("zrtpres.dll");
  const std::string cookies = WriteCookies();
  DialogWatch dialogs;  // the failure message, should the import fail
  ScopedLibrary module(LoadLibraryA(folder.File("Korvat.dll").c_str()));
  auto entry = [&module](const char* name) {
    return GetProcAs<HRESULT(STDAPICALLTYPE*)()>(module.Get(), name);
  };
  const auto register_server = entry("DllRegisterServer");
  const auto unregister_server = entry("DllUnregisterServer");
  if (register_server == nullptr || unregister_server == nullptr || !FindHooks(module.Get())) {
    std::fprintf(stderr, "registration_bench: cannot use %s\n", folder.File("Korvat.dll").c_str());
    return 2;
  }

  int failed = 0;
  auto pair = [&] {
    failed += register_server() != S_OK;
    failed += unregister_server() != S_OK;
  };
  // What the first registration does once; then a pair that registers the
  // class and removes it again, recorded.
  failed += register_server() != S_OK || !KeyExists(HKEY_CLASSES_ROOT, kClassKey);
  failed += unregister_server() != S_OK || KeyExists(HKEY_CLASSES_ROOT, kClassKey);
  Record(true);
  pair();
  Record(false);

  std::wstring module_path = Wide(folder.File("Korvat.dll"));
  std::wstring help_dir = Wide(folder.path() + "\\");
  std::vector<HKEY> opened(g_calls.size());
  std::vector<BYTE> buffer(65536);
  int differ = 0;
  auto floor = [&] {
    differ += Replay(opened, buffer);
    ReadFileBytes(cookies);
    ComPtr<ITypeLib> library;
    if (SUCCEEDED(LoadTypeLib(module_path.c_str(), library.Put()))) {
      failed += FAILED(RegisterTypeLib(library.Get(), &module_path[0], &help_dir[0]));
    }
  };
  g_pausedMs = 0;
  const Comparison comparison = Compare(kPlan, pair, floor);
  const double pause = g_pausedMs / 1e3 / (kPlan.rounds * kPlan.calls + 1);
  Print("DllRegisterServer and DllUnregisterServer", kPlan, "Korvat.dll",
        "its registry calls, cookie, type library", comparison, kMicroseconds);
  PrintLine("registry calls a pair", "%9.0f", static_cast<double>(g_calls.size()));
  PrintLine("removal's pause for the browsers", "%9.1f ms, skipped", pause * 1e3);
  PrintLine("ratio with the pause", "%9.2f",
            (comparison.subject.median + pause) / comparison.floor.median);

  UnRegisterTypeLib(korvat::LIBID_KORVATLib, 1, 0, 0x409,
                    sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  DeleteSettingsKeys();
  DeleteFileA(cookies.c_str());
  if (failed != 0 || differ != 0 || !dialogs.seen().empty()) {
    std::fprintf(stderr,
                 "registration_bench: %d calls failed, %d replayed calls differed, "
                 "%zu dialogs\n",
                 failed, differ, dialogs.seen().size());
    return 1;
  }
  return 0;
}
