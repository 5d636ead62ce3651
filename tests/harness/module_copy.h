// Points the module state at a loaded copy of the built module in a temporary
// folder, so that the module directory, the siblings and the module's own
// file are the copy's, as if the code ran inside it.
#pragma once

#include <windows.h>

#include <cstring>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "harness/test_support.h"

namespace korvat_test {

class ModuleCopy {
 public:
  ModuleCopy() {
    folder_.CopyFromBin("Korvat.dll");
    module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    ModuleInstance = module_.Get();
    ResourceModule = nullptr;
    ResourceModuleLoaded = 0;
    std::memset(ResourceModulePath, 0, sizeof(ResourceModulePath));
  }
  ~ModuleCopy() {
    FreeResourceModule();
    ResourceModule = ModuleInstance = nullptr;
  }
  bool loaded() const { return static_cast<bool>(module_); }
  HMODULE module() const { return module_.Get(); }
  const TempFolder& folder() const { return folder_; }

 private:
  TempFolder folder_;
  ScopedLibrary module_;
};

}  // namespace korvat_test
