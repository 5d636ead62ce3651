// The toolbar button's site as the browser gives it: a service provider whose
// browser records each Navigate (address; each argument's type, set or null).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>

#include <cstdio>
#include <string>
#include <vector>

namespace korvat_test {

class RecordingBrowser : public IWebBrowser {
 public:
  std::vector<std::string> calls;  // "address 400C:null ..." per Navigate

  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* post,
                                     VARIANT* headers) override {
    char text[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, url, -1, text, sizeof(text), nullptr, nullptr);
    std::string call = text;
    for (VARIANT* argument : {flags, frame, post, headers}) {
      char shown[32];
      snprintf(shown, sizeof(shown), " %04X:%s", argument->vt, argument->pvarVal ? "set" : "null");
      call += shown;
    }
    calls.push_back(call);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // clang-format off
#define NOT_USED(method, ...) \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }
  NOT_USED(QueryInterface, REFIID, void**)  // the module asks the browser for nothing
  NOT_USED(GetTypeInfoCount, UINT*) NOT_USED(GetTypeInfo, UINT, LCID, ITypeInfo**)
  NOT_USED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
  NOT_USED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
  NOT_USED(GoBack) NOT_USED(GoForward) NOT_USED(GoHome) NOT_USED(GoSearch) NOT_USED(Refresh)
  NOT_USED(Refresh2, VARIANT*) NOT_USED(Stop) NOT_USED(get_Application, IDispatch**)
  NOT_USED(get_Parent, IDispatch**) NOT_USED(get_Container, IDispatch**)
  NOT_USED(get_Document, IDispatch**) NOT_USED(get_TopLevelContainer, VARIANT_BOOL*)
  NOT_USED(get_Type, BSTR*) NOT_USED(get_Left, LONG*) NOT_USED(put_Left, LONG)
  NOT_USED(get_Top, LONG*) NOT_USED(put_Top, LONG) NOT_USED(get_Width, LONG*)
  NOT_USED(put_Width, LONG) NOT_USED(get_Height, LONG*) NOT_USED(put_Height, LONG)
  NOT_USED(get_LocationName, BSTR*) NOT_USED(get_LocationURL, BSTR*)
  NOT_USED(get_Busy, VARIANT_BOOL*)
#undef NOT_USED
  // clang-format on
};

// Offers IServiceProvider if asked to, and the browser as the browser application service only.
class TestSite : public IServiceProvider {
 public:
  explicit TestSite(bool offers_provider = true) : offers_provider(offers_provider) {}
  const bool offers_provider;
  RecordingBrowser browser;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object =
        iid == IID_IUnknown || (offers_provider && iid == IID_IServiceProvider) ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override {
    static const GUID kBrowserApp = {0x0002df05, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
    const bool asked = service == kBrowserApp && iid == IID_IWebBrowser;
    *object = asked ? static_cast<IWebBrowser*>(&browser) : nullptr;
    return asked ? S_OK : E_NOINTERFACE;
  }
};

}  // namespace korvat_test
