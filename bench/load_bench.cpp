// Loading and freeing Korvat.dll against the same for empty_module.dll, a
// DLL that does nothing, built with the module's compile and link options.
// The system DLLs that either imports are held loaded throughout, so a round
// measures what the two DLLs themselves cost: mapping, relocation, the
// runtime's start-up and the entry point. Measured with tracing off and on;
// the trace switch is put back as it was found. Both DLLs are copies in one
// temporary folder, so the trace log is written there.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "bench_support.h"
#include "harness/test_support.h"
#include "platform/scoped_handle.h"

// The benchmarks use the module's names as its own code does.
using namespace korvat;

using namespace korvat_bench;
using korvat_test::TempFolder;

namespace {

constexpr Plan kPlan = {7, 1000, "loads"};
const char kTraceKey[] = "Software\\Nuvix\\Config";
const char kTraceSwitch[] = "TRACE_ENABLE_Korvat";

// A registry value put back as it was, or deleted when there was none, at
// the end of the scope.
class SavedValue {
 public:
  SavedValue(HKEY root, const char* path, const char* name)
      : m_root(root),
        m_path(path),
        m_name(name),
        m_existed(korvat_test::ReadRawValue(root, path, name, &m_type, &m_bytes)) {}
  ~SavedValue() {
    ScopedRegKey key;
    if (RegCreateKeyExA(m_root, m_path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS) {
      return;
    }
    if (m_existed) {
      RegSetValueExA(key.Get(), m_name, 0, m_type, reinterpret_cast<const BYTE*>(m_bytes.data()),
                     static_cast<DWORD>(m_bytes.size()));
    } else {
      RegDeleteValueA(key.Get(), m_name);
    }
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  HKEY m_root;
  const char* m_path;
  const char* m_name;
  DWORD m_type = REG_NONE;
  std::string m_bytes;
  bool m_existed;
};

// Loads the DLL once and takes a reference to every DLL it imports from, so
// that none of them is loaded or unloaded with it afterwards.
bool HoldImports(const std::string& path) {
  ScopedLibrary module(LoadLibraryA(path.c_str()));
  if (!module) return false;
  std::set<std::string> dlls;
  VisitImports(module.Get(), [&dlls](const char* dll, const char*, void**) { dlls.insert(dll); });
  for (const std::string& dll : dlls) LoadLibraryA(dll.c_str());
  return true;
}

unsigned long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.nFileSizeLow;
}

}  // namespace

int main() {
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  folder.CopyFromBin("empty_module.dll");
  const std::string module = folder.File("Korvat.dll");
  const std::string empty = folder.File("empty_module.dll");
  SavedValue trace_switch(HKEY_CURRENT_USER, kTraceKey, kTraceSwitch);
  korvat_test::SetDwordValue(HKEY_CURRENT_USER, kTraceKey, kTraceSwitch, 0);
  if (!HoldImports(module) || !HoldImports(empty)) {
    std::fprintf(stderr, "load_bench: cannot load %s or %s\n", module.c_str(), empty.c_str());
    return 2;
  }
  std::printf("Korvat.dll %lu bytes, empty_module.dll %lu bytes\n", FileSize(module),
              FileSize(empty));

  int failed = 0;
  auto load = [&failed](const std::string& path) {
    return [&failed, path] {
      ScopedLibrary loaded(LoadLibraryA(path.c_str()));
      if (!loaded) ++failed;
    };
  };
  for (DWORD trace : {0, 1}) {
    korvat_test::SetDwordValue(HKEY_CURRENT_USER, kTraceKey, kTraceSwitch, trace);
    Print(trace ? "load and free, tracing on" : "load and free, tracing off", kPlan, "Korvat.dll",
          "empty DLL (floor)", Compare(kPlan, load(module), load(empty)), kMicroseconds);
  }

  // What the entry point's own calls cost, made directly: the message it
  // registers, its file name and the trace switch it reads (tracing off).
  korvat_test::SetDwordValue(HKEY_CURRENT_USER, kTraceKey, kTraceSwitch, 0);
  ScopedLibrary held(LoadLibraryA(module.c_str()));
  std::vector<double> rounds;
  for (int round = 0; round < kPlan.rounds; ++round) {
    rounds.push_back(TimeCalls(kPlan.calls, [&held] {
      RegisterWindowMessageA("WM_ZR_NOTIFY_MSG");
      char path[MAX_PATH];
      GetModuleFileNameA(held.Get(), path, MAX_PATH);
      ScopedRegKey key;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, kTraceKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.Put(), nullptr) == ERROR_SUCCESS) {
        DWORD number = 0, size = sizeof(number);
        RegQueryValueExA(key.Get(), kTraceSwitch, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&number), &size);
      }
    }));
  }
  held.Reset();
  std::printf("the entry point's calls, made directly:\n");
  PrintFigures("message, file name, trace switch", Summarize(rounds), kMicroseconds);
  if (failed != 0) {
    std::fprintf(stderr, "load_bench: %d loads failed\n", failed);
    return 1;
  }
  return 0;
}
