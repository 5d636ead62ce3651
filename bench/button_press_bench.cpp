// The toolbar button pressed as the browser presses it: CoCreateInstance of
// KorvatExec, SetSite with a stand-in browser, Exec and Release; without a
// client window (the browser navigates) and with a logged-on client's frame
// window (the page goes to it).
//
// The floor, in the same process: activating and releasing the object of
// null_server.dll, which does nothing, registered the same way; then the
// registry reads, the window lookup and the hand-over that the press makes:
// the user's MeetingPage, the client's frame window and, with one, its
// LogonState and the same WM_COPYDATA; without one, the page as a BSTR to
// the same stand-in browser's Navigate. The hand-over is in the floor
// because no press can do without it: what the ratio shows is the class
// object, the instance, the site and the checks around them.
//
// Both servers are copies in a temporary folder, registered for the run
// under HKLM\Software\Classes, where Wine's COM looks for classes. The
// client's frame window runs on a thread of its own. The benchmark writes
// the user's settings key, so it refuses to run where that key exists.
#include <windows.h>
#include <docobj.h>
#include <ocidl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "bench_support.h"
#include "browser_site.h"
#include "client_window.h"
#include "harness/test_support.h"
#include "platform/ansi_text.h"
#include "platform/com_ptr.h"
#include "platform/scoped_handle.h"
#include "resources/module_ids.h"

// The benchmarks use the module's names as its own code does.
using namespace korvat;

using namespace korvat_bench;
using namespace korvat_test;

namespace {

constexpr Plan kPlan = {7, 1000, "presses"};
// null_server.dll's class.
const CLSID kNullClass = {
    0x5C2B8E41, 0x93A7, 0x4D0F, {0xB6, 0x1E, 0x27, 0xD4, 0x80, 0x3A, 0xC9, 0x5F}};
const char kLogon[] = "Software\\Nuvix\\TapvoMeeting\\Logon";

std::string ClassKey(const CLSID& clsid) {
  wchar_t wide[40] = {};
  StringFromGUID2(clsid, wide, 40);
  char text[40] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
  return std::string("Software\\Classes\\CLSID\\") + text;
}

// The server's path and the apartment model, as the module's own class
// registration writes them.
void RegisterServer(const CLSID& clsid, const std::string& path) {
  const std::string key = ClassKey(clsid) + "\\InprocServer32";
  SetStringValue(HKEY_LOCAL_MACHINE, key, "", path);
  SetStringValue(HKEY_LOCAL_MACHINE, key, "ThreadingModel", "Apartment");
}

HRESULT Press(BrowserSite* site) {
  ComPtr<IOleCommandTarget> target;
  HRESULT result = CoCreateInstance(korvat::CLSID_KorvatExec, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IOleCommandTarget, target.PutVoid());
  if (FAILED(result)) return result;
  ComPtr<IObjectWithSite> sited;
  result = target.As(IID_IObjectWithSite, &sited);
  if (SUCCEEDED(result)) result = sited->SetSite(site);
  sited.Reset();
  if (SUCCEEDED(result)) {
    result = target->Exec(nullptr, 0, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr);
  }
  return result;
}

HRESULT Floor(IWebBrowser* browser) {
  ComPtr<IUnknown> object;
  HRESULT result =
      CoCreateInstance(kNullClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid());
  if (FAILED(result)) return result;
  char page[1024] = {};
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, key.Put()) == ERROR_SUCCESS) {
    DWORD size = sizeof(page);
    RegQueryValueExA(key.Get(), "MeetingPage", nullptr, nullptr, reinterpret_cast<BYTE*>(page),
                     &size);
    key.Reset();
  }
  HWND client = FindWindowA(korvat::kClientFrameClass, nullptr);
  DWORD logged_on = 0;
  if (client != nullptr && RegOpenKeyA(HKEY_CURRENT_USER, kLogon, key.Put()) == ERROR_SUCCESS) {
    DWORD size = sizeof(logged_on);
    RegQueryValueExA(key.Get(), "LogonState", nullptr, nullptr, reinterpret_cast<BYTE*>(&logged_on),
                     &size);
    key.Reset();
  }
  if (logged_on != 0) {
    COPYDATASTRUCT data = {0, static_cast<DWORD>(std::strlen(page) + 1), page};
    SendMessageA(client, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  } else {
    ScopedBstr address(SysAllocString(korvat::WidenAnsi(page).data()));
    VARIANT empty;
    VariantInit(&empty);
    empty.vt = VT_BYREF | VT_VARIANT;
    empty.pvarVal = nullptr;
    result = browser->Navigate(address.Get(), &empty, &empty, &empty, &empty);
  }
  return result;
}

}  // namespace

int main() {
  if (KeyExists(HKEY_CURRENT_USER, kSettings)) {
    std::fprintf(stderr, "button_press_bench: the settings key exists; not overwriting it\n");
    return 2;
  }
  TempFolder folder;
  folder.CopyFromBin("Korvat.dll");
  folder.CopyFromBin("null_server.dll");
  RegisterServer(korvat::CLSID_KorvatExec, folder.File("Korvat.dll"));
  RegisterServer(kNullClass, folder.File("null_server.dll"));
  SetStringValue(HKEY_CURRENT_USER, kSettings, "MeetingPage",
                 "https://meet.example.com/acme/start/ann");
  SetDwordValue(HKEY_CURRENT_USER, kLogon, "LogonState", 1);
  ScopedCoInitialize com;

  int failed = 0, navigated = 0;
  BrowserSite site;
  // Each side takes what its stand-in browser was asked for, the same way.
  auto check = [&](HRESULT result) {
    failed += FAILED(result);
    navigated += static_cast<int>(site.browser.calls.size());
    site.browser.calls.clear();
  };
  const int sides = 2 * (kPlan.rounds * kPlan.calls + 1);  // with the warm-up calls
  for (bool with_client : {false, true}) {
    std::unique_ptr<ClientWindow> client(with_client ? new ClientWindow() : nullptr);
    if (client && !client->Start()) {
      std::fprintf(stderr, "button_press_bench: no client window\n");
      return 2;
    }
    navigated = 0;
    Print(with_client ? "press, client window logged on" : "press, no client window", kPlan,
          "KorvatExec", "null object, reads, hand-over (floor)",
          Compare(
              kPlan, [&] { check(Press(&site)); }, [&] { check(Floor(&site.browser)); }),
          kMicroseconds);
    // Every press and every floor call handed the page over as it should.
    const int delivered = client ? static_cast<int>(client->deliveries().size()) : navigated;
    if (delivered != sides) {
      std::fprintf(stderr, "button_press_bench: %d of %d pages delivered\n", delivered, sides);
      ++failed;
    }
  }
  com.Reset();
  for (const CLSID* clsid : {&korvat::CLSID_KorvatExec, &kNullClass}) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ClassKey(*clsid));
  }
  DeleteKeyTree(HKEY_CURRENT_USER, kSettings);
  return failed == 0 ? 0 : 1;
}
