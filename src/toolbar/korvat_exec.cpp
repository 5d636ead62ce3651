#include "toolbar/korvat_exec.h"

#include <servprov.h>

#include <cstring>

#include "core/com_object.h"
#include "platform/ansi_text.h"
#include "registration/registry_resource.h"
#include "resources/resource_ids.h"
#include "settings/settings_key.h"

namespace korvat {

namespace {

// The browser application service, {0002DF05-0000-0000-C000-000000000046}.
constexpr GUID kWebBrowserAppService = {
    0x0002df05, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr InterfaceEntry kKorvatExecInterfaces[] = {
    {&IID_IKorvatExec, &InterfaceOf<KorvatExec, IKorvatExec>},
    {&IID_IOleCommandTarget, &InterfaceOf<KorvatExec, IOleCommandTarget>},
    {&IID_IObjectWithSite, &InterfaceOf<KorvatExec, IObjectWithSite>},
    {nullptr, nullptr},
};

}  // namespace

HRESULT KorvatExec::InternalQueryInterface(REFIID iid, void** object) {
  return QueryInterfaceFromTable(this, kKorvatExecInterfaces, iid, object);
}

HRESULT KorvatExec::SetSite(IUnknown* site) {
  // The first browser found stays for the object's life.
  if (m_spBrowser) return S_OK;
  if (site == nullptr) return E_POINTER;
  ComPtr<IServiceProvider> provider;
  HRESULT result = site->QueryInterface(IID_IServiceProvider, provider.PutVoid());
  if (FAILED(result)) return result;
  if (!provider) return E_POINTER;
  return provider->QueryService(kWebBrowserAppService, IID_IWebBrowser, m_spBrowser.PutVoid());
}

HRESULT KorvatExec::GetSite(REFIID, void** site) {
  // No site is handed out; the caller must not find a stale pointer.
  if (site != nullptr) *site = nullptr;
  return S_OK;
}

HRESULT KorvatExec::QueryStatus(const GUID*, ULONG count, OLECMD* commands, OLECMDTEXT*) {
  if (commands == nullptr) return E_POINTER;
  for (ULONG i = 0; i < count; ++i) commands[i].cmdf = OLECMDF_SUPPORTED | OLECMDF_ENABLED;
  return S_OK;
}

HRESULT KorvatExec::Exec(const GUID* group, DWORD command, DWORD option, VARIANT*, VARIANT*) {
  if (group != nullptr) return OLECMDERR_E_UNKNOWNGROUP;
  if (command != 0) return OLECMDERR_E_NOTSUPPORTED;
  if (option == OLECMDEXECOPT_SHOWHELP) return OLECMDERR_E_NOHELP;
  return OpenMeetingPage();
}

HRESULT KorvatExec::OpenMeetingPage() {
  PageText page_text;
  const LONG status = ReadButtonPage(&page_text);
  // Windows errors go back as HRESULTs: a bare code would read as success.
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  const char* page = page_text.text;
  if (SendPageToClient(page) == 1) return S_OK;

  const std::vector<wchar_t> wide = WidenAnsi(page);
  ScopedBstr url;
  if (!wide.empty()) {
    url.Reset(SysAllocString(wide.data()));
    if (url.Get() == nullptr) return E_OUTOFMEMORY;
  }
  if (!m_spBrowser) return E_POINTER;
  // The four optional arguments are empty: the page opens in this window.
  VARIANT empty;
  VariantInit(&empty);
  empty.vt = VT_BYREF | VT_VARIANT;
  empty.pvarVal = nullptr;
  return m_spBrowser->Navigate(url.Get(), &empty, &empty, &empty, &empty);
}

int KorvatExec::SendPageToClient(const char* page) {
  HWND frame = FindWindowA(kClientFrameClass, nullptr);
  // A client that runs but is not logged on does not get the page.
  if (frame == nullptr || !ClientIsLoggedOn()) return 0;

  COPYDATASTRUCT data = {};
  data.dwData = 0;
  data.cbData = static_cast<DWORD>(std::strlen(page) + 1);  // the zero byte is sent too
  data.lpData = const_cast<char*>(page);
  SendMessageA(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  return 1;
}

HRESULT CreateKorvatExec(IUnknown* outer, REFIID iid, void** object) {
  return CreateComInstance<KorvatExec>(outer, iid, object);
}

HRESULT UpdateKorvatExecRegistry(BOOL do_register) {
  return RunRegistryResource(IDR_KORVATEXEC, do_register != FALSE);
}

}  // namespace korvat
