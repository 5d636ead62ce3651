// The stand-in for the browser around a toolbar button: the site that the
// browser hands the command object, whose service provider gives out a
// browser that records each Navigate and, for korvatctl, prints the page. The
// tests and the benchmarks use the same stand-in.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>

#include <string>
#include <vector>

// Both objects live on the stack of the press and outlive the command
// object, so they need no reference counts of their own.
class RecordingBrowser : public IWebBrowser {
 public:
  // "address 400C:null ..." per Navigate: each optional argument's type, set or null.
  std::vector<std::string> calls;
  bool prints = false;  // "browser: navigate to <address>" on the standard output

  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* post,
                                     VARIANT* headers) override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // A press uses nothing else.
  // clang-format off
#define KORVATCTL_NOT_USED(method, ...) \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }
  KORVATCTL_NOT_USED(GetTypeInfoCount, UINT*) KORVATCTL_NOT_USED(GetTypeInfo, UINT, LCID, ITypeInfo**)
  KORVATCTL_NOT_USED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
  KORVATCTL_NOT_USED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
  KORVATCTL_NOT_USED(GoBack) KORVATCTL_NOT_USED(GoForward) KORVATCTL_NOT_USED(GoHome)
  KORVATCTL_NOT_USED(GoSearch) KORVATCTL_NOT_USED(Refresh) KORVATCTL_NOT_USED(Refresh2, VARIANT*)
  KORVATCTL_NOT_USED(Stop) KORVATCTL_NOT_USED(get_Application, IDispatch**)
  KORVATCTL_NOT_USED(get_Parent, IDispatch**) KORVATCTL_NOT_USED(get_Container, IDispatch**)
  KORVATCTL_NOT_USED(get_Document, IDispatch**)
  KORVATCTL_NOT_USED(get_TopLevelContainer, VARIANT_BOOL*) KORVATCTL_NOT_USED(get_Type, BSTR*)
  KORVATCTL_NOT_USED(get_Left, LONG*) KORVATCTL_NOT_USED(put_Left, LONG)
  KORVATCTL_NOT_USED(get_Top, LONG*) KORVATCTL_NOT_USED(put_Top, LONG)
  KORVATCTL_NOT_USED(get_Width, LONG*) KORVATCTL_NOT_USED(put_Width, LONG)
  KORVATCTL_NOT_USED(get_Height, LONG*) KORVATCTL_NOT_USED(put_Height, LONG)
  KORVATCTL_NOT_USED(get_LocationName, BSTR*) KORVATCTL_NOT_USED(get_LocationURL, BSTR*)
  KORVATCTL_NOT_USED(get_Busy, VARIANT_BOOL*)
#undef KORVATCTL_NOT_USED
  // clang-format on
};

// Offers IServiceProvider unless told not to (a site without one is the
// module's to cope with), and the browser as the browser application service
// only.
class BrowserSite : public IServiceProvider {
 public:
  explicit BrowserSite(bool offers_provider = true) : m_offersProvider(offers_provider) {}
  RecordingBrowser browser;

  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

 private:
  const bool m_offersProvider;
};
