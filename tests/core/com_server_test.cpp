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

class ComServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.CopyFromBin("Korvat.dll");
    module_.Reset(LoadLibraryA(folder_.File("Korvat.dll").c_str()));
    ASSERT_TRUE(module_);
    get_class_object_ = GetProcAs<decltype(&DllGetClassObject)>(module_.Get(), "DllGetClassObject");
    can_unload_now_ = GetProcAs<decltype(&DllCanUnloadNow)>(module_.Get(), "DllCanUnloadNow");
  }
  // `iid` of `from`, or of the class object.
  template <typename T = IUnknown>
  T* Get(const IID& iid, IUnknown* from = nullptr) {
    void* object = nullptr;
    EXPECT_EQ(from == nullptr ? get_class_object_(CLSID_KorvatExec, iid, &object)
                              : from->QueryInterface(iid, &object),
              S_OK);
    return static_cast<T*>(object);
  }
  TempFolder folder_;
  ScopedLibrary module_;
  decltype(&DllGetClassObject) get_class_object_ = nullptr;
  decltype(&DllCanUnloadNow) can_unload_now_ = nullptr;
};

// The class object is shared; only client references and locks hold the module. Instances answer
// the interfaces of their table, and aggregate only through their IUnknown.
TEST_F(ComServerTest, ClassObjectAndInstancesAnswerAndHoldTheModuleWhileInUse) {
  void* object = this;
  EXPECT_EQ(get_class_object_(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IClassFactory, nullptr), E_POINTER);
  object = this;
  EXPECT_EQ(get_class_object_(CLSID_KorvatExec, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(can_unload_now_(), S_OK);

  auto* factory = Get<IClassFactory>(IID_IClassFactory);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(Get(IID_IClassFactory), factory);
  factory->Release();
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  for (HRESULT after_unlock : {S_FALSE, S_OK}) {
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(can_unload_now_(), after_unlock);
  }

  factory = Get<IClassFactory>(IID_IClassFactory);
  IUnknown *exec = nullptr, *inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IKorvatExec, reinterpret_cast<void**>(&exec)),
            S_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IKorvatExec, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateInstance(exec, IID_IKorvatExec, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(factory->CreateInstance(exec, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  factory->Release();
  for (const IID* iid : {&IID_IOleCommandTarget, &IID_IObjectWithSite, &IID_IKorvatExec}) {
    IUnknown* other = Get(*iid, exec);
    EXPECT_EQ(Get(IID_IUnknown, other), exec);
    exec->Release();
    other->Release();
  }
  EXPECT_EQ(exec->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(exec->QueryInterface(IID_IKorvatExec, nullptr), E_POINTER);

  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(can_unload_now_(), S_FALSE);
  EXPECT_EQ(exec->Release(), 0u);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

// RegisterServer, run by the module code linked into this program for the copy of the module,
// registers its type library with the module's folder as the help folder.
TEST_F(ComServerTest, RegistersTheTypeLibraryWithTheModulesFolderForHelp) {
  const std::string library = "TypeLib\\{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}";
  DeleteKeyTree(HKEY_CLASSES_ROOT, library);
  g_serverModule.Init(g_classTable, module_.Get());
  ModuleInstance = module_.Get();
  EXPECT_EQ(g_serverModule.RegisterServer(TRUE), S_OK);
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT,
                            library + "\\1.0\\409\\win" + (sizeof(void*) == 8 ? "64" : "32"), ""),
            folder_.File("Korvat.dll"));
  EXPECT_EQ(ReadStringValue(HKEY_CLASSES_ROOT, library + "\\1.0\\HELPDIR", ""),
            folder_.path() + "\\");
  EXPECT_EQ(g_serverModule.UnregisterServer(FALSE), S_OK);
  DeleteKeyTree(HKEY_CLASSES_ROOT, library);
  ModuleInstance = nullptr;
}

}  // namespace
