// Plug-in instances and control loaders as the host creates and releases
// them. The host holds both as bare values; releases accept only values that
// were handed out here and are still alive.
#pragma once

#include <windows.h>

namespace korvat {

class ControlLoader;
class PluginWindow;

// Records `parent` as the plug-in parent and creates an instance with its
// window over the parent's client area. Null when it cannot be allocated.
PluginWindow* NewPluginInstance(HWND parent);
// Destroys the instance's window and then the instance; anything that is not
// a live instance is ignored.
void DeletePluginInstance(void* instance);

// Records the host window given as text and loads the control module beside
// the module into it; a successful load posts WM_SIZE to the host. Returns
// the loader, empty when the load failed; null when it cannot be allocated.
ControlLoader* InitControlLoader(const char* host_window_text);
// Unloads and destroys the loader given as text; 0 and anything that is not
// a live loader are ignored.
void ExitControlLoader(const char* loader_text);

}  // namespace korvat
