#include "module_calls.h"

#include <cstdio>

#include "dialog_watch.h"
#include "installation.h"
#include "platform/com_ptr.h"
#include "platform/proc_address.h"
#include "platform/scoped_handle.h"
#include "results.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

constexpr char kModuleFile[] = "Korvat.dll";

using SetupEntry = UINT(WINAPI*)(DWORD);
using RegistrationEntry = HRESULT(WINAPI*)();
using FlagsEntry = int(WINAPI*)(DWORD);
using GetOptionEntry = int(WINAPI*)(DWORD*);
using SetLoginEntry = int(WINAPI*)(const char*, const char*);
using GetLoginEntry = int(WINAPI*)(char*, char*);

// The output buffers of TapvoGetLoginInfo hold at least this much; one more
// zero byte ends a site that fills them.
constexpr size_t kLoginBufferSize = 1024;

constexpr Meaning kSetupMeanings[] = {
    {0, "success"},
    {1603, "installation failed: the install cookie could not be imported"},
};
constexpr Meaning kRegisterMeanings[] = {
    {S_OK, "success"},
    {1, "failed: the install cookie could not be imported"},
};
// TapvoSetOption and TapvoGetOption.
constexpr Meaning kOptionMeanings[] = {
    {0, "success"},
    {-1, "failed: the user's settings key does not exist"},
};
constexpr Meaning kAlwaysSucceeds[] = {{0, "success"}};
constexpr Meaning kSetLoginMeanings[] = {
    {0, "success"},
    {-1, "failed: site and name are missing or longer than 2040 characters together"},
};
constexpr Meaning kGetLoginMeanings[] = {
    {0, "success"},
    {-1, "failed: no meeting page is stored for the user or the machine"},
};

// The module, loaded for one verb; the caller's thread has COM initialised,
// as the client's, the installer's and the registration tool's threads have.
class LoadedModule {
 public:
  explicit LoadedModule(const Invocation& invocation) : m_path(ModulePath(invocation)) {
    m_library.Reset(LoadLibraryA(m_path.c_str()));
    if (!m_library) {
      std::fprintf(stderr, "korvatctl: cannot load %s (error %lu)\n", m_path.c_str(),
                   GetLastError());
    }
  }

  // Null, with a message, when the module is not loaded or lacks the export.
  template <typename Fn>
  Fn Export(const char* name) const {
    if (!m_library) return nullptr;
    Fn entry = GetProcAs<Fn>(m_library.Get(), name);
    if (entry == nullptr) {
      std::fprintf(stderr, "korvatctl: %s has no export %s\n", m_path.c_str(), name);
    }
    return entry;
  }

 private:
  ScopedCoInitialize m_com;
  std::string m_path;
  ScopedLibrary m_library;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string FlagsText(DWORD flags) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%08lX", static_cast<unsigned long>(flags));
  return std::string(hex) + " " + DescribeFlags(flags);
}

template <size_t N>
int CallSetupEntry(const Invocation& invocation, const char* name, const Meaning (&meanings)[N]) {
  LoadedModule module(invocation);
  SetupEntry entry = module.Export<SetupEntry>(name);
  if (entry == nullptr) return kExitFailed;
  UINT result;
  {
    DialogWatch watch(true);
    result = entry(0);  // the installer's handle, which the module does not use
  }
  return Report(name, static_cast<long>(result), meanings, false);
}

template <size_t N>
int CallRegistrationEntry(const Invocation& invocation, const char* name,
                          const Meaning (&meanings)[N]) {
  LoadedModule module(invocation);
  RegistrationEntry entry = module.Export<RegistrationEntry>(name);
  if (entry == nullptr) return kExitFailed;
  HRESULT result;
  {
    DialogWatch watch(true);
    result = entry();
  }
  return Report(name, result, meanings, true);
}

template <size_t N>
int CallFlagsEntry(const Invocation& invocation, const char* name, const Meaning (&meanings)[N]) {
  LoadedModule module(invocation);
  FlagsEntry entry = module.Export<FlagsEntry>(name);
  if (entry == nullptr) return kExitFailed;
  const int result = entry(invocation.flags);
  return Report(std::string(name) + "(" + FlagsText(invocation.flags) + ")", result, meanings,
                false);
}

}  // namespace

std::string ModulePath(const Invocation& invocation) {
  if (invocation.module.empty()) return FolderOf(ProgramPath()) + "\\" + kModuleFile;
  char path[MAX_PATH] = {};
  DWORD length = GetFullPathNameA(invocation.module.c_str(), MAX_PATH, path, nullptr);
  return length > 0 && length < MAX_PATH ? path : invocation.module;
}

int RunSetup(const Invocation& invocation) {
  return CallSetupEntry(invocation, "TapvoSetup", kSetupMeanings);
}

int RunPreSetup(const Invocation& invocation) {
  return CallSetupEntry(invocation, "TapvoPreSetup", kAlwaysSucceeds);
}

int RunUninstall(const Invocation& invocation) {
  return CallSetupEntry(invocation, "TapvoUninstall", kAlwaysSucceeds);
}

int RunRegister(const Invocation& invocation) {
  return CallRegistrationEntry(invocation, "DllRegisterServer", kRegisterMeanings);
}

int RunUnregister(const Invocation& invocation) {
  return CallRegistrationEntry(invocation, "DllUnregisterServer", kAlwaysSucceeds);
}

int RunSetOption(const Invocation& invocation) {
  return CallFlagsEntry(invocation, "TapvoSetOption", kOptionMeanings);
}

int RunRemoveAddIn(const Invocation& invocation) {
  return CallFlagsEntry(invocation, "TapvoRemoveAddIn", kAlwaysSucceeds);
}

int RunGetOption(const Invocation& invocation) {
  LoadedModule module(invocation);
  GetOptionEntry entry = module.Export<GetOptionEntry>("TapvoGetOption");
  if (entry == nullptr) return kExitFailed;
  DWORD flags = 0;  // the function only sets bits
  const int result = entry(&flags);
  const int exit_code = Report("TapvoGetOption", result, kOptionMeanings, false);
  if (result == 0) std::printf("flags: %s\n", FlagsText(flags).c_str());
  return exit_code;
}

int RunSetLogin(const Invocation& invocation) {
  LoadedModule module(invocation);
  SetLoginEntry entry = module.Export<SetLoginEntry>("TapvoSetLoginInfo");
  if (entry == nullptr) return kExitFailed;
  const std::string& site = invocation.args[0];
  const std::string& name = invocation.args[1];
  const int result = entry(site.c_str(), name.c_str());
  return Report("TapvoSetLoginInfo(" + Quoted(site) + ", " + Quoted(name) + ")", result,
                kSetLoginMeanings, false);
}

int RunGetLogin(const Invocation& invocation) {
  LoadedModule module(invocation);
  GetLoginEntry entry = module.Export<GetLoginEntry>("TapvoGetLoginInfo");
  if (entry == nullptr) return kExitFailed;
  char site[kLoginBufferSize + 1] = {};
  char name[kLoginBufferSize + 1] = {};
  const int result = entry(site, name);
  const int exit_code = Report("TapvoGetLoginInfo", result, kGetLoginMeanings, false);
  if (result == 0) std::printf("site: %s\nname: %s\n", Quoted(site).c_str(), Quoted(name).c_str());
  return exit_code;
}
