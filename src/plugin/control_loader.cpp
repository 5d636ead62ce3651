#include "plugin/control_loader.h"

#include "platform/proc_address.h"

namespace korvat {

ControlLoader::~ControlLoader() { Unload(); }

int ControlLoader::Load(HWND parent, const char* path) {
  m_hModule.Reset(LoadLibraryA(path));
  if (!m_hModule) return 0;

  // The two-argument form is preferred; older control modules have only the
  // one-argument one.
  FARPROC create = GetProcAddress(m_hModule.Get(), "PDNewInstance");
  const bool two_arguments = create != nullptr;
  if (!two_arguments) create = GetProcAddress(m_hModule.Get(), "ZRNewInstance");
  m_pfnNewInstance = create;
  m_pfnDeleteInstance = GetProcAs<ZRDeleteInstanceFn>(m_hModule.Get(), "ZRDeleteInstance");

  if (m_pfnNewInstance == nullptr || m_pfnDeleteInstance == nullptr) {
    m_hModule.Reset();
    m_pfnNewInstance = nullptr;
    m_pfnDeleteInstance = nullptr;
    return 0;
  }
  m_hInstance = two_arguments ? ProcAs<PDNewInstanceFn>(m_pfnNewInstance)(parent, 0)
                              : ProcAs<ZRNewInstanceFn>(m_pfnNewInstance)(parent);
  return 1;
}

void ControlLoader::Unload() {
  if (m_pfnDeleteInstance != nullptr) m_pfnDeleteInstance(m_hInstance);
  m_hInstance = 0;
  m_pfnNewInstance = nullptr;
  m_pfnDeleteInstance = nullptr;
  m_hModule.Reset();
}

}  // namespace korvat
