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

HRESULT STDMETHODCALLTYPE PrintingBrowser::Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*,
                                                    VARIANT*) {
  std::printf("browser: navigate to %s\n", ToAnsi(url).c_str());
  std::fflush(stdout);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE PrintingBrowser::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                     IsEqualIID(iid, IID_IWebBrowser);
  *object = known ? static_cast<IWebBrowser*>(this) : nullptr;
  return known ? S_OK : E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE BrowserSite::QueryService(REFGUID service, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(service, kBrowserAppService)) return E_NOINTERFACE;
  return m_browser.QueryInterface(iid, object);
}

HRESULT STDMETHODCALLTYPE BrowserSite::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IServiceProvider);
  *object = known ? static_cast<IServiceProvider*>(this) : nullptr;
  return known ? S_OK : E_NOINTERFACE;
}
