// The stand-in for the browser around a toolbar button: the site that the
// browser hands the command object, whose service provider gives out a
// browser whose Navigate prints the page it is asked to open.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>

// Both objects live on the stack of the press and outlive the command
// object, so they need no reference counts of their own.
class PrintingBrowser : public IWebBrowser {
 public:
  HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* post,
                                     VARIANT* headers) override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // A press uses nothing else.
#define KORVATCTL_NOT_USED(method, ...) \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }
  KORVATCTL_NOT_USED(GetTypeInfoCount, UINT*)
  KORVATCTL_NOT_USED(GetTypeInfo, UINT, LCID, ITypeInfo**)
  KORVATCTL_NOT_USED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
  KORVATCTL_NOT_USED(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
  KORVATCTL_NOT_USED(GoBack)
  KORVATCTL_NOT_USED(GoForward)
  KORVATCTL_NOT_USED(GoHome)
  KORVATCTL_NOT_USED(GoSearch)
  KORVATCTL_NOT_USED(Refresh)
  KORVATCTL_NOT_USED(Refresh2, VARIANT*)
  KORVATCTL_NOT_USED(Stop)
  KORVATCTL_NOT_USED(get_Application, IDispatch**)
  KORVATCTL_NOT_USED(get_Parent, IDispatch**)
  KORVATCTL_NOT_USED(get_Container, IDispatch**)
  KORVATCTL_NOT_USED(get_Document, IDispatch**)
  KORVATCTL_NOT_USED(get_TopLevelContainer, VARIANT_BOOL*)
  KORVATCTL_NOT_USED(get_Type, BSTR*)
  KORVATCTL_NOT_USED(get_Left, LONG*)
  KORVATCTL_NOT_USED(put_Left, LONG)
  KORVATCTL_NOT_USED(get_Top, LONG*)
  KORVATCTL_NOT_USED(put_Top, LONG)
  KORVATCTL_NOT_USED(get_Width, LONG*)
  KORVATCTL_NOT_USED(put_Width, LONG)
  KORVATCTL_NOT_USED(get_Height, LONG*)
  KORVATCTL_NOT_USED(put_Height, LONG)
  KORVATCTL_NOT_USED(get_LocationName, BSTR*)
  KORVATCTL_NOT_USED(get_LocationURL, BSTR*)
  KORVATCTL_NOT_USED(get_Busy, VARIANT_BOOL*)
#undef KORVATCTL_NOT_USED
};

class BrowserSite : public IServiceProvider {
 public:
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

 private:
  PrintingBrowser m_browser;
};
