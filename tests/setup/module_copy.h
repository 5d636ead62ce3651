// Points the module state at a loaded copy of the built module in a temporary
// folder, so that the module directory, the siblings and the module's own
// file are the copy's, as if the code ran inside it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "core/module_state.h"
#include "core/resource_module.h"
#include "harness/test_support.h"

namespace korvat_test {

class ModuleCopy {
 public:
  ModuleCopy() {
    folder_.CopyFromBin("Korvat.dll");
    module_ = LoadLibraryA(folder_.File("Korvat.dll").c_str());
    ModuleInstance = module_;
    ResourceModule = nullptr;
    ResourceModuleLoaded = 0;
  }
  ~ModuleCopy() {
    FreeResourceModule();
    ResourceModule = nullptr;
    ModuleInstance = nullptr;
    if (module_ != nullptr) FreeLibrary(module_);
  }
  ModuleCopy(const ModuleCopy&) = delete;
  ModuleCopy& operator=(const ModuleCopy&) = delete;

  bool loaded() const { return module_ != nullptr; }
  const TempFolder& folder() const { return folder_; }

 private:
  TempFolder folder_;
  HMODULE module_ = nullptr;
};

}  // namespace korvat_test
