#include "plugin/plugin_lifecycle.h"

#include <new>

#include "core/module_state.h"
#include "plugin/control_loader.h"
#include "plugin/handed_out.h"
#include "plugin/handle_text.h"
#include "plugin/host_notify.h"
#include "plugin/plugin_window.h"

namespace korvat {

PluginWindow* NewPluginInstance(HWND parent) {
  g_hPluginParent = parent;
  auto* instance = new (std::nothrow) PluginWindow();
  if (instance == nullptr) return nullptr;
  g_liveInstances.Add(instance);
  instance->Create(parent);
  return instance;
}

void DeletePluginInstance(void* instance) {
  auto* window = static_cast<PluginWindow*>(instance);
  if (!g_liveInstances.Remove(window)) return;
  window->DestroyOnItsThread();
  delete window;
}

ControlLoader* InitControlLoader(const char* host_window_text) {
  g_hHostWnd = reinterpret_cast<HWND>(ParseHandleText(host_window_text));
  char path[MAX_PATH];
  GetSiblingPath(kControlModuleFile, path, sizeof(path));

  auto* loader = new (std::nothrow) ControlLoader();
  if (loader == nullptr) return nullptr;
  g_liveLoaders.Add(loader);
  // Without a host window there is nobody to post to: PostMessageA with a null
  // window would put the message on the calling thread's own queue, and with
  // a broadcast value on every top-level window's.
  if (path[0] != '\0' && loader->Load(g_hHostWnd, path) == 1 && IsHostWindow(g_hHostWnd)) {
    PostMessageA(g_hHostWnd, WM_SIZE, 0, 0);
  }
  return loader;
}

void ExitControlLoader(const char* loader_text) {
  auto* loader = reinterpret_cast<ControlLoader*>(ParseHandleText(loader_text));
  if (!g_liveLoaders.Remove(loader)) return;
  loader->Unload();
  delete loader;
}

}  // namespace korvat
