#include "platform/browser_shell.h"

#include <exdisp.h>
#include <ole2.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/com_ptr.h"

namespace korvat {

namespace {

// The classes that open a new browser window may live in any kind of server.
constexpr DWORD kBrowserServerContext =
    CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Converts `text` to the ANSI code page into `out`, cut to fit `size` bytes
// with its terminating zero (never inside a double-byte character).
void BstrToAnsi(BSTR text, char* out, int size) {
  std::memset(out, 0, static_cast<size_t>(size));
  if (text == nullptr || size <= 1) return;
  const int length = static_cast<int>(SysStringLen(text));
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  if (needed < size) {
    WideCharToMultiByte(CP_ACP, 0, text, length, out, needed, nullptr, nullptr);
    return;
  }
  std::vector<char> whole(static_cast<size_t>(needed));
  WideCharToMultiByte(CP_ACP, 0, text, length, whole.data(), needed, nullptr, nullptr);
  std::memcpy(out, whole.data(),
              FitAnsiText(whole.data(), whole.size(), static_cast<size_t>(size), IsSystemLeadByte));
}

class AutomationBrowser : public BrowserWindow {
 public:
  explicit AutomationBrowser(ComPtr<IWebBrowserApp> app) : m_app(std::move(app)) {}

  void GetFullName(char* out, int size) override {
    ScopedBstr name;
    if (FAILED(m_app->get_FullName(name.Put()))) name.Reset();
    BstrToAnsi(name.Get(), out, size);
  }
  void GetLocationUrl(char* out, int size) override {
    ScopedBstr url;
    if (FAILED(m_app->get_LocationURL(url.Put()))) url.Reset();
    BstrToAnsi(url.Get(), out, size);
  }
  HWND GetHwnd() override {
    SHANDLE_PTR handle = 0;
    if (FAILED(m_app->get_HWND(&handle))) return nullptr;
    return reinterpret_cast<HWND>(handle);
  }
  void GetPlace(LONG* left, LONG* top, LONG* width, LONG* height) override {
    long value = 0;
    if (SUCCEEDED(m_app->get_Left(&value))) *left = value;
    if (SUCCEEDED(m_app->get_Top(&value))) *top = value;
    if (SUCCEEDED(m_app->get_Width(&value))) *width = value;
    if (SUCCEEDED(m_app->get_Height(&value))) *height = value;
  }
  void Quit() override { m_app->Quit(); }
  void Navigate(const wchar_t* url) override {
    ScopedBstr address(SysAllocString(url));
    VARIANT flags, empty;
    VariantInit(&flags);
    flags.vt = VT_NULL;
    VariantInit(&empty);  // VT_EMPTY for the frame name, post data and headers
    m_app->Navigate(address.Get(), &flags, &empty, &empty, &empty);
  }
  void MakeVisible() override { m_app->put_Visible(VARIANT_TRUE); }
  void SetPlace(LONG left, LONG top, LONG width, LONG height) override {
    m_app->put_Left(left);
    m_app->put_Top(top);
    m_app->put_Width(width);
    m_app->put_Height(height);
  }

 private:
  ComPtr<IWebBrowserApp> m_app;
};

class ShellWindowCollection : public ShellWindowList {
 public:
  explicit ShellWindowCollection(ComPtr<IShellWindows> windows) : m_windows(std::move(windows)) {}

  LONG Count() override {
    long count = 0;
    if (FAILED(m_windows->get_Count(&count))) return 0;
    return count;
  }
  std::unique_ptr<BrowserWindow> BrowserAt(LONG index) override {
    VARIANT item;
    VariantInit(&item);
    item.vt = VT_I4;
    item.lVal = index;
    ComPtr<IDispatch> dispatch;
    if (FAILED(m_windows->Item(item, dispatch.Put())) || !dispatch) return nullptr;
    // IWebBrowser2 extends IWebBrowserApp.
    ComPtr<IWebBrowserApp> browser;
    if (FAILED(dispatch.As(IID_IWebBrowser2, &browser)) || !browser) return nullptr;
    return std::make_unique<AutomationBrowser>(std::move(browser));
  }

 private:
  ComPtr<IShellWindows> m_windows;
};

class PlatformBrowserShell : public BrowserShell {
 public:
  std::unique_ptr<ShellWindowList> OpenWindowList() override {
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IUnknown,
                                object.PutVoid()))) {
      return nullptr;
    }
    OleRun(object.Get());
    ComPtr<IShellWindows> windows;
    if (FAILED(object.As(IID_IShellWindows, &windows)) || !windows) return nullptr;
    return std::make_unique<ShellWindowCollection>(std::move(windows));
  }

  std::unique_ptr<BrowserWindow> OpenNewBrowser() override {
    ComPtr<IWebBrowserApp> app;
    if (FAILED(CoCreateInstance(CLSID_InternetExplorer, nullptr, kBrowserServerContext,
                                IID_IWebBrowserApp, app.PutVoid())) ||
        !app) {
      return nullptr;
    }
    return std::make_unique<AutomationBrowser>(std::move(app));
  }
};

PlatformBrowserShell g_platformBrowserShell;
BrowserShell* g_testBrowserShell = nullptr;

}  // namespace

BrowserShell& CurrentBrowserShell() {
  return g_testBrowserShell != nullptr ? *g_testBrowserShell : g_platformBrowserShell;
}

void SetBrowserShellForTesting(BrowserShell* shell) { g_testBrowserShell = shell; }

}  // namespace korvat
