// Runs each family of the module's exports many times in one process and
// prints, before and after, the figures in which a leak shows: the handle
// count, the GDI and USER objects, the number of loaded modules and the
// private bytes. It prints figures; it is not a test.
//   korvat_soak [--cycles N] [--module PATH] [FAMILY[:CYCLES]...]
// FAMILY is load, com, options, setup or plugin (all when none is given);
// each runs CYCLES times, or N, which is 10,000 unless given. The setup
// family waits for the browser windows as the installation does, about
// 1.6 s a cycle under Wine, so a whole soak gives it fewer cycles. The module, zrtpres.dll and the
// stand-ins built beside this program are copied into a temporary folder and run from there;
// tpvoun.exe is left out, so that the after-download step starts nothing.
// The "before" figures are taken after a warm-up of up to 20 cycles, so that
// what a first call sets up for good (the heap, the window classes, the
// system's own libraries) is not counted as growth.
//
// The settings key, the registrations, the cookies and the desktop shortcut
// are those of the current user and machine: run it in a Wine prefix of its
// own (README.md). It deletes what the families write when it ends.
#include <windows.h>
#include <docobj.h>
#include <ocidl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dialog_watch.h"
#include "harness/test_support.h"
#include "platform/com_ptr.h"
#include "platform/scoped_handle.h"
#include "resources/module_ids.h"
#include "settings/option_flags.h"

// The benchmarks use the module's names as its own code does.
using namespace korvat;

using namespace korvat_test;

namespace {

constexpr int kWarmUp = 20;
constexpr DWORD kAllOptions = OPTION_BROWSER_BUTTON | OPTION_OFFICE_MENU | OPTION_RIGHT_CLICK;

struct Figures {
  DWORD handles, gdi, user, windows, modules;
  SIZE_T private_kib;
};

// Wine answers 0 to GetProcessHandleCount; the system's handle list counts
// there too.
DWORD CountHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  struct Entry {
    ULONG process;
    BYTE type, flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  constexpr ULONG kSystemHandleInformation = 16;
  std::vector<BYTE> buffer(1 << 20);
  ULONG needed = 0;
  while (query != nullptr &&
         query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
               &needed) == static_cast<LONG>(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
    buffer.resize(buffer.size() * 2);
  }
  const ULONG entries = *reinterpret_cast<ULONG*>(buffer.data());
  const Entry* entry = reinterpret_cast<Entry*>(buffer.data() + sizeof(void*));
  for (ULONG i = 0; i < entries; ++i) count += entry[i].process == GetCurrentProcessId();
  return count;
}

// The process's windows, message-only ones and children included: the USER
// objects that Wine's GetGuiResources (which answers 0) does not count.
DWORD CountWindows() {
  struct Counter {
    static BOOL CALLBACK Child(HWND, LPARAM count) {
      ++*reinterpret_cast<DWORD*>(count);
      return TRUE;
    }
    static BOOL CALLBACK TopLevel(HWND window, LPARAM count) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      if (process != GetCurrentProcessId()) return TRUE;
      ++*reinterpret_cast<DWORD*>(count);
      EnumChildWindows(window, Child, count);
      return TRUE;
    }
  };
  DWORD count = 0;
  EnumWindows(Counter::TopLevel, reinterpret_cast<LPARAM>(&count));
  for (HWND window = nullptr;
       (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
    Counter::TopLevel(window, reinterpret_cast<LPARAM>(&count));
  }
  return count;
}

// Committed private memory, walked region by region: Wine's process memory
// counters leave the private bytes at 0.
SIZE_T CountPrivateKib() {
  SIZE_T bytes = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
  }
  return bytes / 1024;
}

Figures Measure() {
  HANDLE self = GetCurrentProcess();
  Figures figures = {};
  figures.handles = CountHandles();
  figures.gdi = GetGuiResources(self, GR_GDIOBJECTS);
  figures.user = GetGuiResources(self, GR_USEROBJECTS);
  figures.windows = CountWindows();
  HMODULE modules[1024];
  DWORD bytes = 0;
  if (K32EnumProcessModules(self, modules, sizeof(modules), &bytes)) {
    figures.modules = bytes / sizeof(HMODULE);
  }
  figures.private_kib = CountPrivateKib();
  return figures;
}

// One line a figure, "<family> <figure> <before> <after>", for people and
// for the test that runs a short soak.
void Print(const char* family, const Figures& before, const Figures& after) {
  const struct {
    const char* name;
    unsigned long long before, after;
  } rows[] = {{"handles", before.handles, after.handles},
              {"gdi-objects", before.gdi, after.gdi},
              {"user-objects", before.user, after.user},
              {"windows", before.windows, after.windows},
              {"modules", before.modules, after.modules},
              {"private-kib", before.private_kib, after.private_kib}};
  for (const auto& row : rows) {
    std::printf("%-8s %-14s %10llu %10llu\n", family, row.name, row.before, row.after);
  }
}

class Soak {
 public:
  explicit Soak(const std::string& module) {
    if (module.empty()) {
      m_folder.CopyFromBin("Korvat.dll");
    } else {
      CopyFileA(module.c_str(), Module().c_str(), FALSE);
    }
    for (const char* file : {"zrtpres.dll", "nvxMSAI.dll", "nvxrmenu.dll"}) {
      m_folder.CopyFromBin(file);
    }
    m_folder.CopyFromBin("zrtpctl_both.dll", "zrtpctl.dll");
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = korvat::kClientFrameClass;
    RegisterClassA(&window_class);
    // The host of the plug-in, and the client that takes the meeting page.
    m_host = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                             nullptr, nullptr);
    m_client = CreateWindowExA(0, korvat::kClientFrameClass, "client", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, nullptr, nullptr);
  }
  ~Soak() {
    DestroyWindow(m_client);
    DestroyWindow(m_host);
    Clean();
  }

  std::string Module() const { return m_folder.File("Korvat.dll"); }

  // Runs `cycle` for the warm-up and then for the cycles, with the module
  // loaded unless it is the family that loads it; prints the figures and
  // what is left of the resource module.
  bool Run(const char* family, int cycles, const std::function<void()>& cycle,
           bool load_module = true) {
    if (load_module) m_module.Reset(LoadLibraryA(Module().c_str()));
    if (load_module && !m_module) {
      std::fprintf(stderr, "korvat_soak: cannot load %s\n", Module().c_str());
      return false;
    }
    m_buttonInstalls = 0;
    for (int i = 0; i < kWarmUp && i < cycles; ++i) cycle();
    Figures before = Measure();
    const DWORD start = GetTickCount();
    for (int i = 0; i < cycles; ++i) cycle();
    Figures after = Measure();
    const DWORD took = GetTickCount() - start;
    m_module.Reset();
    Print(family, before, after);
    // The button's registration loads the resource library and leaves it
    // loaded, once for each install; nothing else may hold it.
    std::printf("%-8s %-14s %10d %10d\n", family, "zrtpres-loads", m_buttonInstalls,
                FreeAll(m_folder.File("zrtpres.dll")));
    std::printf("%-8s %d cycles in %lu ms, %u dialogs closed\n", family, cycles, took,
                static_cast<unsigned>(m_dialogs.seen().size()));
    std::fflush(stdout);
    Clean();
    return true;
  }

  template <typename R = INT_PTR, typename... Args>
  R Call(const char* name, Args... args) {
    FARPROC proc = GetProcAddress(m_module.Get(), name);
    if (proc == nullptr) {
      std::fprintf(stderr, "korvat_soak: no export %s\n", name);
      std::exit(2);
    }
    return reinterpret_cast<R(WINAPI*)(Args...)>(reinterpret_cast<void*>(proc))(args...);
  }

  void LoadCycle() { ScopedLibrary loaded(LoadLibraryA(Module().c_str())); }

  void ComCycle() {
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    ComPtr<IClassFactory> factory;
    reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(m_module.Get(), "DllGetClassObject")))(
        korvat::CLSID_KorvatExec, IID_IClassFactory, factory.PutVoid());
    if (!factory) return;
    ComPtr<IOleCommandTarget> target;
    factory->CreateInstance(nullptr, IID_IOleCommandTarget, target.PutVoid());
    factory.Reset();
    if (!target) return;
    {
      ComPtr<IObjectWithSite> sited;
      if (SUCCEEDED(target.As(IID_IObjectWithSite, &sited))) {
        sited->SetSite(&m_site);  // a site without a browser
      }
    }
    // Handed to the logged-on client, then the browser fallback, which finds
    // no browser.
    for (DWORD logged_on : {1, 0}) {
      SetDwordValue(HKEY_CURRENT_USER, std::string(kSettings) + "\\Logon", "LogonState", logged_on);
      target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
    }
    target.Reset();
    Call<HRESULT>("DllCanUnloadNow");
  }

  void OptionsCycle() {
    DWORD flags = 0;
    Call<int>("TapvoSetOption", kAllOptions);
    Call<int>("TapvoGetOption", &flags);
    Call<int>("TapvoSetLoginInfo", "https://meet.example.com/acme", "ann");
    char site[2048], name[2048];
    Call<int>("TapvoGetLoginInfo", site, name);
    Call<int>("TapvoRemoveAddIn", DWORD(0));
    Call<int>("TapvoSetOption", DWORD(0));
    m_buttonInstalls += 2;  // the first TapvoSetOption and TapvoSetLoginInfo
  }

  void SetupCycle() {
    WriteCookies();
    const DWORD n = 0;  // an argument the module does not look at
    Call<int>("TapvoPreSetup", n);
    Call<int>("TapvoSetup", n);
    Call<int>("TapvoUninstall", n);
    WriteCookies();
    Call<HRESULT>("DllRegisterServer");
    Call<HRESULT>("DllUnregisterServer");
  }

  void PluginCycle() {
    const std::string host = std::to_string(reinterpret_cast<INT_PTR>(m_host));
    void* loader = Call<void*>("InitControl", host.c_str());
    Call<void>("ExitControl", std::to_string(reinterpret_cast<INT_PTR>(loader)).c_str());
    Call<void>("ZRDeleteInstance", Call<void*>("ZRNewInstance", m_host));
    const INT_PTR n = 0;
    Call<int>("AsSetup", n, n, n, n, n, n, n, n, n, n, n, n, n, n, n, n);
    MSG msg;  // the WM_SIZE that a loaded control module posts to its host
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }

  // A settings key with a meeting page, as the site's installation leaves it.
  void SeedSettings() {
    SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage", "https://meet.example.com/a");
  }

 private:
  // A site that gives out no browser.
  struct NoBrowserSite : IServiceProvider {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
      *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IServiceProvider)
                    ? static_cast<IServiceProvider*>(this)
                    : nullptr;
      return *object != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID, REFIID, void** object) override {
      *object = nullptr;
      return E_NOINTERFACE;
    }
  };

  // The conferencing site's cookies, which every installation imports.
  void WriteCookies() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG created = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    WriteFileBytes(CookieFile(),
                   CookieRecord("MeetingPage", "/acme/start/ann", "meet.example.com/", created) +
                       CookieRecord("CK_TP_tapvomtginstall",
                                    "iedesktop@true@true@https://meet.example.com@false@",
                                    "meet.example.com/", created));
  }
  static std::string CookieFile() { return CookiesFolder() + "\\korvat-soak.txt"; }

  // Frees the library until it is gone; the number of loads that were left.
  static int FreeAll(const std::string& path) {
    int loads = 0;
    for (HMODULE held; (held = GetModuleHandleA(path.c_str())) != nullptr; ++loads) {
      FreeLibrary(held);
    }
    return loads;
  }

  static void Clean() {
    DeleteFileA(CookieFile().c_str());
    DeleteSettingsKeys();
    const char* const keys[] = {korvat::kButtonKey, "Software\\Classes\\Korvat.KorvatExec",
                                "Software\\Classes\\Korvat.KorvatExec.1",
                                "Software\\Classes\\CLSID\\" KORVAT_EXEC_CLSID_TEXT};
    for (const char* key : keys) DeleteKeyTree(HKEY_CURRENT_USER, key);
  }

  TempFolder m_folder;
  ScopedLibrary m_module;
  HWND m_host = nullptr, m_client = nullptr;
  NoBrowserSite m_site;
  // A message box would stop the soak: it is closed and counted.
  DialogWatch m_dialogs;
  int m_buttonInstalls = 0;
};

}  // namespace

int main(int argc, char** argv) {
  int cycles = 10000;
  std::string module;
  std::vector<std::string> families;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc) {
      cycles = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
      module = argv[++i];
    } else {
      families.push_back(argv[i]);
    }
  }
  if (families.empty()) families = {"load", "com", "options", "setup", "plugin"};

  Soak soak(module);
  std::printf("%-8s %-14s %10s %10s\n", "family", "figure", "before", "after");
  for (const std::string& argument : families) {
    const std::string family = argument.substr(0, argument.find(':'));
    const int n =
        family.size() < argument.size() ? std::atoi(&argument[family.size() + 1]) : cycles;
    bool ran = false;
    if (family == "load") {
      ran = soak.Run(
          "load", n, [&] { soak.LoadCycle(); }, false);
    } else if (family == "com") {
      soak.SeedSettings();
      ran = soak.Run("com", n, [&] { soak.ComCycle(); });
    } else if (family == "options") {
      soak.SeedSettings();
      ran = soak.Run("options", n, [&] { soak.OptionsCycle(); });
    } else if (family == "setup") {
      ran = soak.Run("setup", n, [&] { soak.SetupCycle(); });
    } else if (family == "plugin") {
      ran = soak.Run("plugin", n, [&] { soak.PluginCycle(); });
    } else {
      std::fprintf(stderr, "korvat_soak: unknown family %s\n", family.c_str());
      return 2;
    }
    if (!ran) return 1;
  }
  return 0;
}
