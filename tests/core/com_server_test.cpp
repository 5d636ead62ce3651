// The COM server: the class object and instances handed out by the built
// module's exports, the unload rule, and the type library's registration.
#include <gtest/gtest.h>
#include <ole2.h>

#include <string>

#include "core/module_state.h"
#include "core/server_module.h"
#include "harness/test_support.h"
#include "platform/proc_address.h"
#include "toolbar/korvat_exec.h"

using namespace korvat_test;

namespace {

// A copy of the module in a temporary folder, loaded.
class ComServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyFromBin("Korvat.dll");
    Load();
  }
  void Load() {
    module_.Reset();
    module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    ASSERT_TRUE(module_);
    get_class_object_ = GetProcAs<decltype(&DllGetClassObject)>(module_.Get(), "DllGetClassObject");
    can_unload_now_ = GetProcAs<decltype(&DllCanUnloadNow)>(module_.Get(), "DllCanUnloadNow");
  }
  template <typename T>
  T* Get(const IID& iid, IUnknown* from) {
    void* object = nullptr;
    EXPECT_EQ(from == nullptr ? get_class_object_(CLSID_KorvatExec, iid, &object)
                              : from->QueryInterface(iid, &object),
              S_OK);
    return static_cast<T*>(object);
  }
  IClassFactory* Factory() { return Get<IClassFactory>(IID_IClassFactory, nullptr); }
  TempFolder folder_;
  ScopedLibrary module_;
  decltype(&DllGetClassObject) get_class_object_ = nullptr;
  decltype(&DllCanUnloadNow) can_unload_now_ = nullptr;
};

TEST_F(ComServerTest, ClassObjectIsSharedAndOnlyClientReferencesAndLocksHoldTheModule) {
  void* object = this;
  EXPECT_EQ(get_class_object_(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IClassFactory, nullptr), E_POINTER);
  object = this;
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(can_unload_now_(), S_OK);

  IClassFactory* first = Factory();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Factory(), first);
  first->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  first->Release();
  EXPECT_EQ(can_unload_now_(), S_OK);

  // Each lock holds the module until it is undone.
  first = Factory();
  EXPECT_EQ(first->LockServer(TRUE), S_OK);
  EXPECT_EQ(first->LockServer(TRUE), S_OK);
  first->Release();
  for (HRESULT after_unlock : {S_FALSE, S_OK}) {
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    EXPECT_EQ(first->LockServer(FALSE), S_OK);
    EXPECT_EQ(can_unload_now_(), after_unlock);
  }
}

// Instances answer the interfaces of their table; an aggregated one (inside
// another instance as its outer object) counts its references on the outer
// object and leaves it to answer for its identity.
TEST_F(ComServerTest, InstancesAnswerTheirTableAndAggregatedOnesForwardToTheOuterObject) {
  IClassFactory* factory = Factory();
  void* object = this;
  IUnknown *exec = nullptr, *inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IKorvatExec, reinterpret_cast<void**>(&exec)),
            S_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IKorvatExec, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateInstance(exec, IID_IKorvatExec, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(factory->CreateInstance(exec, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  factory->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);

  for (const IID* iid : {&IID_IOleCommandTarget, &IID_IObjectWithSite, &IID_IKorvatExec}) {
    IUnknown* other = Get<IUnknown>(*iid, exec);
    IUnknown* unknown = Get<IUnknown>(IID_IUnknown, other);
    EXPECT_EQ(unknown, exec);
    unknown->Release();
    other->Release();
  }
  EXPECT_EQ(exec->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(exec->QueryInterface(IID_IKorvatExec, nullptr), E_POINTER);

  IUnknown* contained = Get<IUnknown>(IID_IKorvatExec, inner);
  EXPECT_NE(contained, inner);
  EXPECT_EQ(exec->AddRef(), 3u);  // the test's, the contained interface's and this one
  exec->Release();
  EXPECT_EQ(Get<IUnknown>(IID_IUnknown, contained), exec);
  exec->Release();
  contained->Release();
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  EXPECT_EQ(exec->Release(), 0u);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

// The type library as RegisterServer, run by the module code linked into this
// program for the copy of the module, registers it: the file and its folder
// as the help folder; a module without registry scripts fails before the
// library; a module without a library has its ".tlb" serve instead.
TEST_F(ComServerTest, RegistersTheTypeLibraryWithItsFallbacks) {
  const std::string library = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
  const std::string file =
      library + (sizeof(void*) == 8 ? "\\1.0\\409\\win64" : "\\1.0\\409\\win32");
  folder_.CopyFromBin("zrtpres.dll", "Other.dll");
  folder_.CopyFromBin("Korvat.tlb", "Other.tlb");
  ScopedLibrary other(LoadLibraryA(folder_.File("Other.dll").c_str()));
  const struct {
    HMODULE scripts, library;
    HRESULT result;
    std::string file;  // the library's registered file; empty: none
  } rows[] = {
      {other.Get(), module_.Get(), HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND), ""},
      {module_.Get(), module_.Get(), S_OK, folder_.File("Korvat.dll")},
      {module_.Get(), other.Get(), S_OK, folder_.File("Other.tlb")},
  };
  for (const auto& row : rows) {
    DeleteKeyTree(HKEY_CLASSES_ROOT, library);
    g_serverModule.Init(g_classTable, row.library);
    ModuleInstance = row.scripts;
    EXPECT_EQ(g_serverModule.RegisterServer(TRUE), row.result);
    EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, file, ""),
              row.file.empty() ? "<missing>" : row.file);
    EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, library + "\\1.0\\HELPDIR", ""),
              row.file.empty() ? "<missing>" : folder_.path() + "\\");
  }
  EXPECT_EQ(g_serverModule.UnregisterServer(FALSE), S_OK);
  DeleteKeyTree(HKEY_CLASSES_ROOT, library);
  ModuleInstance = nullptr;
}

}  // namespace
