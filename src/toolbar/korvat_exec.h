// KorvatExec: the command object that the browser's toolbar button runs.
// Pressing the button hands the user's meeting page to the running,
// logged-on client, or else opens it in the browser window of the button.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <ocidl.h>

#include "core/interface_table.h"
#include "platform/com_ptr.h"
#include "resources/module_ids.h"

namespace korvat {

// The object's default interface; it declares nothing of its own.
struct IKorvatExec : public IUnknown {};

// Apartment-threaded. IUnknown comes from ComObject or the aggregated form
// (core/com_object.h).
class KorvatExec : public IKorvatExec, public IObjectWithSite, public IOleCommandTarget {
 public:
  KorvatExec() = default;
  KorvatExec(const KorvatExec&) = delete;
  KorvatExec& operator=(const KorvatExec&) = delete;

  HRESULT InternalQueryInterface(REFIID iid, void** object);

  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override;
  // IOleCommandTarget
  HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                                        OLECMDTEXT* text) override;
  HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD command, DWORD option, VARIANT* in,
                                 VARIANT* out) override;

  // The button's action: the page to the client, else to the browser.
  HRESULT OpenMeetingPage();
  // 1 when the page went to a running, logged-on client; else 0.
  static int SendPageToClient(const char* page);

 protected:
  // Destroyed only as the object's COM form.
  ~KorvatExec() = default;

 private:
  ComPtr<IWebBrowser> m_spBrowser;
};

// The class table's instance creator of KorvatExec.
HRESULT CreateKorvatExec(IUnknown* outer, REFIID iid, void** object);
// The class table's registration routine of KorvatExec: REGISTRY 101.
HRESULT UpdateKorvatExecRegistry(BOOL do_register);

}  // namespace korvat
