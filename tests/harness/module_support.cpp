// The harness pieces that link the module's own code (the benchmarks share
// test_support.cpp without it).
#include <cstring>

#include "core/trace_log.h"
#include "harness/test_support.h"

namespace korvat_test {

TraceCapture::TraceCapture(const std::string& name) : path_(BinFile(name + ".log")) {
  DeleteFileA(path_.c_str());
  g_TraceLog.InitFromModulePath(BinFile(name + ".dll").c_str());
  g_TraceLog.SetEnabled(1);
}

std::vector<std::string> TraceCapture::TakeMessages() {
  const size_t from = seen_;
  seen_ = ReadLines(path_).size();
  return TraceMessages(path_, from);
}

ModuleCopy::ModuleCopy() {
  folder_.CopyFromBin("Korvat.dll");
  module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
  ModuleInstance = module_.Get();
  ResourceModule = nullptr;
  ResourceModuleLoaded = 0;
  std::memset(ResourceModulePath, 0, sizeof(ResourceModulePath));
}

ModuleCopy::~ModuleCopy() {
  FreeResourceModule();
  ResourceModule = ModuleInstance = nullptr;
}

}  // namespace korvat_test
