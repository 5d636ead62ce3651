#include "press_button.h"

#include <windows.h>
#include <docobj.h>
#include <ocidl.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "browser_site.h"
#include "client_window.h"
#include "platform/com_ptr.h"
#include "platform/scoped_handle.h"
#include "resources/module_ids.h"
#include "results.h"
#include "settings/settings_key.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

// The registry's errors come back as HRESULTs of the Windows codes.
constexpr Meaning kExecMeanings[] = {
    {S_OK, "success"},
    {static_cast<long>(0x80070002), "failed: no settings key or no MeetingPage"},
    {static_cast<long>(0x800700EA), "failed: MeetingPage is longer than 1023 characters"},
    {E_POINTER, "failed: no browser from the site"},
};

// The keys down to the logon key, outermost first.
const char* const kLogonKeyChain[] = {"Software\\Nuvix", kSettingsKey, kLogonKey};

// LogonState = 1 for the length of the press, as the client keeps it while
// it is logged on. Afterwards the value, and every key made for it, go back
// to what they were: a Logon key left behind would keep the settings key
// from being deleted by a removal.
class LogonStateOverride {
 public:
  LogonStateOverride() {
    for (const char* path : kLogonKeyChain) m_existed.push_back(KeyExists(path));
    ScopedRegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kLogonKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS) {
      return;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), kLogonState, nullptr, &m_oldType, nullptr, &size) ==
        ERROR_SUCCESS) {
      m_old.resize(size + 1);  // never empty, so that data() points somewhere
      m_hadValue = RegQueryValueExA(key.Get(), kLogonState, nullptr, &m_oldType, m_old.data(),
                                    &size) == ERROR_SUCCESS;
      m_old.resize(size);
      // A value that cannot be read back is left alone.
      if (!m_hadValue) return;
    }
    const DWORD logged_on = 1;
    m_set = RegSetValueExA(key.Get(), kLogonState, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&logged_on),
                           sizeof(logged_on)) == ERROR_SUCCESS;
  }

  ~LogonStateOverride() {
    ScopedRegKey key;
    if (m_set &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kLogonKey, 0, KEY_WRITE, key.Put()) == ERROR_SUCCESS) {
      if (m_hadValue) {
        RegSetValueExA(key.Get(), kLogonState, 0, m_oldType, m_old.data(),
                       static_cast<DWORD>(m_old.size()));
      } else {
        RegDeleteValueA(key.Get(), kLogonState);
      }
    }
    for (size_t i = m_existed.size(); i-- > 0;) {
      if (!m_existed[i]) RegDeleteKeyA(HKEY_CURRENT_USER, kLogonKeyChain[i]);
    }
  }

  LogonStateOverride(const LogonStateOverride&) = delete;
  LogonStateOverride& operator=(const LogonStateOverride&) = delete;

  bool set() const { return m_set; }

 private:
  static bool KeyExists(const char* path) {
    ScopedRegKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
  }

  std::vector<bool> m_existed;
  bool m_hadValue = false;
  DWORD m_oldType = REG_NONE;
  std::vector<BYTE> m_old;
  bool m_set = false;
};

}  // namespace

int RunPressButton(const Invocation& invocation) {
  ScopedCoInitialize com;
  ClientWindow client(true);
  std::unique_ptr<LogonStateOverride> logon;
  if (invocation.client_logged_on) {
    logon.reset(new LogonStateOverride());
    if (!logon->set() || !client.Start()) {
      std::fprintf(stderr, "korvatctl: press-button: cannot stand in for the logged-on client\n");
      return kExitFailed;
    }
    std::printf("client: frame window up, LogonState=1\n");
  }

  // The site outlives the object, which may hold its browser to the end.
  BrowserSite site;
  site.browser.prints = true;
  ComPtr<IOleCommandTarget> target;
  HRESULT result = CoCreateInstance(CLSID_KorvatExec, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IOleCommandTarget, target.PutVoid());
  if (FAILED(result)) {
    std::printf("CoCreateInstance(KorvatExec): %s\n", DescribeHresult(result).c_str());
    return kExitFailed;
  }
  ComPtr<IObjectWithSite> sited;
  result = target.As(IID_IObjectWithSite, &sited);
  if (SUCCEEDED(result)) result = sited->SetSite(static_cast<IServiceProvider*>(&site));
  if (FAILED(result)) std::printf("SetSite: %s\n", DescribeHresult(result).c_str());
  std::fflush(stdout);
  result = target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
  return Report("Exec", result, kExecMeanings, true);
}
