#include "browser_site.h"

#include <cstdio>
#include <string>

namespace {

// The browser application service, which hands out the browser window.
constexpr GUID kBrowserAppService = {
    0x0002df05, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::string ToAnsi(const wchar_t* text) {
  if (text == nullptr) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], size, nullptr, nullptr);
  ansi.resize(static_cast<size_t>(size - 1));
  return ansi;
}

}  // namespace

HRESULT STDMETHODCALLTYPE RecordingBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* frame,
                                                     VARIANT* post, VARIANT* headers) {
  std::string call = ToAnsi(url);
  if (prints) {
    std::printf("browser: navigate to %s\n", call.c_str());
    std::fflush(stdout);
  }
  for (const VARIANT* argument : {flags, frame, post, headers}) {
    char shown[32] = " null";
    if (argument != nullptr) {
      std::snprintf(shown, sizeof(shown), " %04X:%s", argument->vt,
                    argument->pvarVal != nullptr ? "set" : "null");
    }
    call += shown;
  }
  calls.push_back(call);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingBrowser::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                     IsEqualIID(iid, IID_IWebBrowser);
  *object = known ? static_cast<IWebBrowser*>(this) : nullptr;
  return known ? S_OK : E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE BrowserSite::QueryService(REFGUID service, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  const bool asked = IsEqualGUID(service, kBrowserAppService) && IsEqualIID(iid, IID_IWebBrowser);
  *object = asked ? static_cast<IWebBrowser*>(&browser) : nullptr;
  return asked ? S_OK : E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE BrowserSite::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  const bool known =
      IsEqualIID(iid, IID_IUnknown) || (m_offersProvider && IsEqualIID(iid, IID_IServiceProvider));
  *object = known ? static_cast<IServiceProvider*>(this) : nullptr;
  return known ? S_OK : E_NOINTERFACE;
}
